#include "editor/CompletionPopup.h"

#include "editor/ShortcutTextView.h"

#include <QApplication>
#include <QItemDelegate>
#include <QKeyEvent>
#include <QListView>
#include <QScreen>
#include <QScrollBar>
#include <QStringListModel>
#include <QTextCursor>
#include <QWindow>
#include <algorithm>

namespace dunmoss {

namespace {

constexpr int kVisibleRows = 10;

// Below the caret (`caret` in screen coordinates), or above it when there is more room there;
// never wider than the screen nor past its edges. Cut short, it still shows whole rows of
// `rowHeight` inside its `frame` (both edges together).
QRect listGeometry(const QRect& caret, QSize size, const QRect& screen, int rowHeight, int frame) {
    size.setWidth(std::min(size.width(), screen.width()));
    QPoint at = caret.bottomLeft();
    at.setX(std::clamp(at.x(), screen.left(), screen.right() + 1 - size.width()));
    const int above = caret.top() - screen.top();
    const int below = screen.bottom() - caret.bottom();
    if (size.height() > below) {
        const int room = std::min(std::max(above, below), size.height());
        const int rows = std::max((room - frame) / std::max(rowHeight, 1), 1);
        size.setHeight(std::min(size.height(), frame + rows * rowHeight));
        if (above > below)
            at.setY(caret.top() - size.height());
    }
    return QRect(at, size);
}

// The editor's colours, as the editor shows them while its window is active: the list is a
// window of its own that is never active.
QPalette listPalette(QPalette palette) {
    for (int role = 0; role < QPalette::NColorRoles; ++role) {
        const auto colorRole = QPalette::ColorRole(role);
        palette.setBrush(QPalette::Inactive, colorRole, palette.brush(QPalette::Active, colorRole));
    }
    return palette;
}

// Entries drawn as a completer's list draws them: the highlighted one framed as current.
class CompletionItemDelegate : public QItemDelegate {
public:
    explicit CompletionItemDelegate(QAbstractItemView* list) : QItemDelegate(list), m_list(list) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem shown = option;
        shown.showDecorationSelected = true;
        if (m_list->currentIndex() == index)
            shown.state |= QStyle::State_HasFocus;
        QItemDelegate::paint(painter, shown, index);
    }

private:
    QAbstractItemView* m_list;
};

} // namespace

CompletionPopup::CompletionPopup(ShortcutTextView* textView)
    : QObject(textView), m_view(textView), m_textView(textView), m_list(new QListView(textView)),
      m_model(new QStringListModel(this)) {
    // A tool tip window is shown without being activated and takes no press away from the
    // window under it (a popup grabs the mouse and eats the press that closes it).
    m_list->setWindowFlags(Qt::ToolTip | Qt::WindowDoesNotAcceptFocus);
    m_list->setAttribute(Qt::WA_ShowWithoutActivating);
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->setObjectName(QStringLiteral("completionList"));
    m_list->setItemDelegate(new CompletionItemDelegate(m_list));
    m_list->setModel(m_model);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setUniformItemSizes(true);
    connect(m_list, &QAbstractItemView::clicked, this,
            [this](const QModelIndex& index) { choose(index.data(Qt::DisplayRole).toString()); });
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now != m_view)
            hide();
    });
}

CompletionPopup::~CompletionPopup() {
    qApp->removeEventFilter(this);
}

bool CompletionPopup::closesForShortcut(const QKeyEvent* key) const {
    if (ShortcutTextView::isCompletionShortcut(key) ||
        ShortcutTextView::isAlternativeCompletionKey(key))
        return false;
    const bool modified =
        key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    return modified || (key->key() >= Qt::Key_F1 && key->key() <= Qt::Key_F35);
}

bool CompletionPopup::isInList(QObject* receiver) const {
    if (receiver->isWindowType())
        return receiver == static_cast<QObject*>(m_list->windowHandle());
    return receiver->isWidgetType() && static_cast<QWidget*>(receiver)->window() == m_list;
}

bool CompletionPopup::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        if (watched == m_view && closesForShortcut(static_cast<QKeyEvent*>(event)))
            hide();
        break;
    case QEvent::KeyPress:
        if (watched == m_view && takeKey(static_cast<QKeyEvent*>(event)))
            return true;
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::Wheel:
        // Not used up: the press goes on to whatever it was meant for.
        if (!isInList(watched))
            hide();
        break;
    case QEvent::Move:
    case QEvent::Resize:
        if (watched == m_shownOver)
            hide();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

bool CompletionPopup::takeKey(const QKeyEvent* key) {
    const Qt::KeyboardModifiers modifiers =
        key->modifiers() &
        (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    switch (key->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        moveHighlight(key);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Tab: {
        const QModelIndex current = m_list->currentIndex();
        if (modifiers != Qt::NoModifier || !current.isValid())
            return false;
        choose(current.data(Qt::DisplayRole).toString());
        return true;
    }
    case Qt::Key_Escape:
        hide();
        return true;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Space:
        // The caret leaves the word, or the word ends: the list no longer fits.
        hide();
        return false;
    default:
        return false;
    }
}

void CompletionPopup::moveHighlight(const QKeyEvent* key) {
    // Past either end the highlight goes off the list, and comes back at the other end.
    const QModelIndex current = m_list->currentIndex();
    const int last = m_model->rowCount() - 1;
    if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) {
        const bool up = key->key() == Qt::Key_Up;
        if (!current.isValid()) {
            m_list->setCurrentIndex(m_model->index(up ? last : 0));
            return;
        }
        if (current.row() == (up ? 0 : last)) {
            m_list->setCurrentIndex(QModelIndex());
            return;
        }
    }
    QKeyEvent forwarded(QEvent::KeyPress, key->key(), key->modifiers());
    QCoreApplication::sendEvent(m_list, &forwarded);
}

void CompletionPopup::show(const QStringList& candidates, TextRange partialWordRange,
                           Highlight highlight) {
    if (!m_textView || candidates.isEmpty()) {
        hide();
        return;
    }
    const QString highlighted = highlight == Highlight::Kept && m_list->isVisible()
                                    ? m_list->currentIndex().data(Qt::DisplayRole).toString()
                                    : QString();
    m_range = partialWordRange;
    m_document = m_textView->document();
    m_model->setStringList(candidates);
    const QPalette palette = listPalette(m_textView->palette());
    if (m_list->palette() != palette)
        m_list->setPalette(palette);
    // A window of its own, the list would take the interface's font.
    if (m_list->font() != m_textView->font())
        m_list->setFont(m_textView->font());
    const QRect caret = m_textView->cursorRect().translated(m_textView->viewport()->pos());
    const QRect caretOnScreen(m_textView->mapToGlobal(caret.topLeft()), caret.size());
    const int frame = 2 * m_list->frameWidth();
    const int rowHeight = m_list->sizeHintForRow(0);
    const QSize size(m_list->sizeHintForColumn(0) +
                         m_list->verticalScrollBar()->sizeHint().width() + frame + 4,
                     rowHeight * std::min<int>(kVisibleRows, candidates.size()) + frame);
    const QScreen* screen = m_textView->screen();
    m_list->setGeometry(
        listGeometry(caretOnScreen, size,
                     screen ? screen->availableGeometry() : QRect(caretOnScreen.topLeft(), size),
                     rowHeight, frame));
    const qsizetype kept = highlighted.isEmpty() ? -1 : candidates.indexOf(highlighted);
    m_list->setCurrentIndex(m_model->index(int(std::max<qsizetype>(kept, 0))));
    if (m_list->isVisible())
        return;
    m_shownOver = m_textView->window();
    qApp->installEventFilter(this);
    m_list->show();
}

void CompletionPopup::hide() {
    if (!m_list->isVisible())
        return;
    qApp->removeEventFilter(this);
    m_list->hide();
}

bool CompletionPopup::isVisible() const {
    return m_list->isVisible();
}

QStringList CompletionPopup::candidates() const {
    return m_model->stringList();
}

void CompletionPopup::choose(const QString& candidate) {
    hide();
    if (!m_textView || m_textView->isReadOnly() || m_textView->document() != m_document)
        return;
    const qsizetype length = std::max(m_textView->document()->characterCount() - 1, 0);
    if (m_range.location < 0 || m_range.end() > length)
        return;
    QTextCursor cursor = m_textView->textCursor();
    cursor.setPosition(int(m_range.location));
    cursor.setPosition(int(m_range.end()), QTextCursor::KeepAnchor);
    cursor.insertText(candidate);
    m_textView->setTextCursor(cursor);
}

TextRange completionWordRange(QStringView text, TextRange selection) {
    if (selection.isNotFound() || selection.location < 0 || selection.end() > text.size())
        return TextRange{text.size(), 0};
    if (selection.length > 0)
        return selection;
    qsizetype start = selection.location;
    while (start > 0 && (text[start - 1].isLetterOrNumber() || text[start - 1] == u'_'))
        --start;
    return TextRange{start, selection.location - start};
}

} // namespace dunmoss
