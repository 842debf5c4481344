#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

namespace dunmoss {

class Defaults;

inline constexpr const char* kRecentFilesKey = "recentFiles.v2";
inline constexpr const char* kLegacyRecentFilesKey = "recentFiles";

// The files last opened or saved in a window, newest first, at most eight, each stored with a
// bookmark so it can be found again after a move. Every window has its own store; all write
// the same stored value, and a store reads it only when it is made.
class RecentFilesStore : public QObject {
    Q_OBJECT
public:
    static constexpr int kLimit = 8;

    explicit RecentFilesStore(Defaults& defaults, QObject* parent = nullptr);

    const QList<QUrl>& urls() const { return m_urls; }

    // From the stored records; the older list of paths when they are absent or undecodable.
    void loadRecentFiles();
    // Moves the file to the front, dropping any entry naming the same file (through links,
    // "." and ".." or another hard link), keeps eight and saves.
    void recordRecentFile(const QUrl& url);
    // The list recording each file in turn gives, stored once.
    void recordRecentFiles(const QList<QUrl>& urls);
    // Writes the records and removes the older list.
    void saveRecentFiles();

signals:
    void urlsChanged();

private:
    Defaults& m_defaults;
    QList<QUrl> m_urls;
    // The settings hold the list as shown, in the current form.
    bool m_storedAsShown = false;
};

} // namespace dunmoss
