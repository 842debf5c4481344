#pragma once

#include "editor/CodeEditorProps.h"

#include <QWidget>
#include <memory>

class QLabel;

namespace dunmoss {

class CodeEditorCoordinator;
class LineNumberRulerView;
class ShortcutTextView;

// The editing surface of one editor pane: the text view with the line-number ruler on its left
// and a one-line parameter hint floating at its bottom. The window builds one per visible pane
// and calls update with every new value; a change of documentID moves the same text view to the
// other document's storage instead of building a new view.
class CodeEditorView : public QWidget {
    Q_OBJECT
public:
    // `size`: the room the view will be shown in, when known; it lays its text out for that
    // width before it is shown.
    explicit CodeEditorView(const CodeEditorProps& props, QWidget* parent = nullptr,
                            QSize size = QSize(900, 560));
    ~CodeEditorView() override;

    // Applies a new value of the pane's bindings and settings.
    void update(const CodeEditorProps& props);

    CodeEditorCoordinator& coordinator() const { return *m_coordinator; }
    ShortcutTextView* textView() const { return m_textView; }
    LineNumberRulerView* ruler() const { return m_ruler; }
    QLabel* parameterHintLabel() const { return m_hintLabel; }

    // The hint label keeps its whole text here; what it shows may be shortened.
    static constexpr const char* kFullTextProperty = "fullText";

    // Places the hint label: 72 from the leading edge, 10 above the bottom, at most up to 14
    // before the trailing edge.
    void layoutHintLabel();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The bound selection, applied when it differs from the view's (or the text was replaced).
    void applySelection(const CodeEditorProps& props, bool textReplaced, bool documentChanged);

    std::unique_ptr<CodeEditorCoordinator> m_coordinator;
    ShortcutTextView* m_textView = nullptr;
    LineNumberRulerView* m_ruler = nullptr;
    QLabel* m_hintLabel = nullptr;
};

} // namespace dunmoss
