#pragma once

#include <QDialog>
#include <QList>
#include <QString>

class QVBoxLayout;

namespace dunmoss {

// One entry of a tool sheet: a symbol, a title, a description and an optional preview line.
struct ToolSheetEntry {
    QString systemImage;
    QString title;
    QString detail;
    // Shown in a fixed-width font under the detail; nothing when empty.
    QString preview;
};

// Entries under an optional caption.
struct ToolSheetSection {
    QString title;
    QList<ToolSheetEntry> entries;
};

// A menu title as a sheet's heading: without the ellipsis that says the item opens a sheet.
QString sheetTitle(QString menuTitle);

// A window-modal sheet listing entries to pick one from: a header with the sheet's title and a
// close button, then the entries in a scrolling list. Clicking an entry, or Return on the
// focused one, accepts the sheet with that entry's index (counted across sections); Escape and
// the close button dismiss it. The arrow keys move between entries.
class ToolSheetDialog : public QDialog {
    Q_OBJECT
public:
    struct Style {
        QSize size;
        // Space between sections, and whether entries are separated by dividers.
        int sectionSpacing = 0;
        bool dividers = false;
        int entryVerticalPadding = 9;
    };

    ToolSheetDialog(const QString& title, const QString& systemImage,
                    const QList<ToolSheetSection>& sections, const Style& style,
                    QWidget* parent = nullptr);

    // The entry picked; -1 until one is.
    int chosenIndex() const { return m_chosen; }
    // The entries' buttons, in index order.
    const QList<QWidget*>& entryButtons() const { return m_entries; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QWidget* makeEntry(const ToolSheetEntry& entry, int index, int verticalPadding);
    // Colours the entries from the sheet's palette, which their style sheets do not pass on.
    void colourEntries();

    QList<QWidget*> m_entries;
    int m_chosen = -1;
};

} // namespace dunmoss
