#pragma once

#include "platform/LatestRequest.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace dunmoss {

inline constexpr const char* kDesktopFileName = "dunmoss-notepad.desktop";

// The MIME types this program offers to open by default. Plain text is one type on Linux: the
// UTF-8 variant of plain text is a charset parameter ("text/plain;charset=utf-8"), not a type
// of its own in shared-mime-info, and the desktop's file managers ask for the default of
// "text/plain" (or of a subtype, which falls back to it).
const QStringList& handledTextContentTypes();

// Of the handled types, how many open with this program by default, and how many there are.
struct DefaultTextFileAssociationStatus {
    int handledTypeCount = 0;
    int totalTypeCount = 0;
    bool operator==(const DefaultTextFileAssociationStatus&) const = default;
};

// Why making this program the default stopped.
struct DefaultTextFileAssociationError {
    enum class Kind {
        // xdg-mime refused one type (its exit status, or -1 when it crashed or hung).
        Failed,
        // No installed "dunmoss-notepad.desktop" that xdg-mime could name.
        MissingBundleIdentifier,
        // xdg-mime itself could not be run.
        ToolMissing,
    };
    Kind kind = Kind::Failed;
    QString typeIdentifier;
    int status = 0;
    QString localizedDescription() const;
};

// The freedesktop association through xdg-mime, run asynchronously: each refresh asks
// "xdg-mime query default" for every type, and making the default runs "xdg-mime default" type
// after type, stopping at the first refusal (types before it stay registered). A missing
// xdg-mime counts as "not default" for the status and as an error for the registration. The
// desktop file is looked up in the applications folders of XDG_DATA_HOME and XDG_DATA_DIRS,
// as xdg-mime does.
class DefaultTextEditorAssociation : public QObject {
    Q_OBJECT
public:
    explicit DefaultTextEditorAssociation(QStringList types = handledTextContentTypes(),
                                          QObject* parent = nullptr);
    // Ends the xdg-mime runs still going.
    ~DefaultTextEditorAssociation() override;

    // Starts a fresh status query; an older one still running is dropped.
    void refreshStatus();
    // Registers this program for every type, one after another. Asking again while a
    // registration runs starts a second, independent one.
    void makeDefaultTextEditor();

    const QStringList& types() const { return m_types; }

    // A run of xdg-mime that takes longer than this is ended and counts as failed.
    static constexpr int kToolTimeoutMs = 15000;

signals:
    void statusChanged(dunmoss::DefaultTextFileAssociationStatus status);
    // Nothing on success.
    void registrationFinished(std::optional<dunmoss::DefaultTextFileAssociationError> error);

private:
    void queryNext(quint64 generation, int index, int handled);
    void registerFrom(int index);
    // Runs xdg-mime and calls `done` once with its exit status and output; nothing when it
    // could not be started.
    void runTool(const QStringList& arguments,
                 std::function<void(std::optional<int> status, QByteArray output)> done);

    QStringList m_types;
    LatestRequest m_queries;
};

// Whether "dunmoss-notepad.desktop" is installed where xdg-mime looks for it.
bool isDesktopFileInstalled();

} // namespace dunmoss
