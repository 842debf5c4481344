// The window's panels as a person sees them (offscreen): readable in the light and Midnight
// themes, also after a switch; room for the status texts; nothing overlapping in the smallest
// window; names from files and people shown as typed.
#include "chrome/EditorWindowView.h"
#include "chrome/TestWindowOptions.h"
#include "chrome/WindowLayout.h"
#include "editor/ElidedLabel.h"
#include "platform/Defaults.h"
#include "platform/Localization.h"
#include "search/FindReplaceBar.h"
#include "search/FolderSearchPanel.h"
#include "search/SearchCenterPanel.h"
#include "support/WaitForOpening.h"
#include "tools/CompareView.h"
#include "tools/SplitViews.h"
#include "window/DocumentOpening.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QToolButton>
#include <gtest/gtest.h>

#include <cmath>

namespace dunmoss::test {
namespace {

QString l(const char* key) {
    return localizedString(QString::fromLatin1(key));
}

double luminance(const QColor& color) {
    const auto channel = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) +
           0.0722 * channel(color.blueF());
}

// The contrast ratio of a colour (with its transparency) drawn over an opaque background.
double contrast(const QColor& ink, const QColor& background) {
    const double a = ink.alphaF();
    const QColor drawn = QColor::fromRgbF(ink.redF() * a + background.redF() * (1 - a),
                                          ink.greenF() * a + background.greenF() * (1 - a),
                                          ink.blueF() * a + background.blueF() * (1 - a));
    const double x = luminance(drawn) + 0.05;
    const double y = luminance(background) + 0.05;
    return std::max(x, y) / std::min(x, y);
}

// The colour a widget's text is drawn on: the nearest background filled behind it.
QColor backgroundBehind(const QWidget* widget) {
    for (const QWidget* w = widget; w; w = w->parentWidget())
        if (w->isWindow() || (w->autoFillBackground() && w->backgroundRole() != QPalette::NoRole))
            return w->palette().color(w->backgroundRole());
    return QColor();
}

// The colour of a button's symbol: its most opaque pixel.
QColor symbolColor(const QAbstractButton* button) {
    const QImage image = button->icon().pixmap(button->iconSize()).toImage();
    QColor best(0, 0, 0, 0);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y).alpha() > best.alpha())
                best = image.pixelColor(x, y);
    return best;
}

class PanelLook : public ::testing::Test {
protected:
    void SetUp() override {
        defaults = std::make_unique<Defaults>(dir.filePath(QStringLiteral("settings.ini")));
        window = new EditorWindowView(testWindowOptions(*defaults));
        window->resize(1060, 720);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        settle();
    }
    void TearDown() override {
        delete window.data();
        QApplication::processEvents();
    }

    void settle() {
        window->refreshNow();
        for (int i = 0; i < 4; ++i)
            QApplication::processEvents();
    }
    EditorWindowModel& model() const { return window->model(); }
    QWidget* panel(WindowPanel which) const { return window->windowLayout().panel(which); }
    FindReplaceBar* bar() const {
        return qobject_cast<FindReplaceBar*>(panel(WindowPanel::FindBar));
    }
    FolderSearchPanel* folderPanel() const {
        return qobject_cast<FolderSearchPanel*>(panel(WindowPanel::FolderSearch));
    }
    void useTheme(const char* theme) {
        model().settings().setThemeRawValue(QString::fromLatin1(theme));
        settle();
    }
    // The find bar, search center, folder panel, workspace sidebar and welcome panel at once.
    void showEveryPanel() {
        model().update([this](EditorWindowState& s) {
            s.find.showFindBar = true;
            s.searchCenter.showSearchCenter = true;
            s.folderSearch.showFolderSearch = true;
            s.folderSearch.folderSearchMessage = QStringLiteral("1 result in 1 file.");
            s.workspace.showWorkspace = true;
            s.workspace.workspaceRootURL = QUrl::fromLocalFile(dir.path());
            s.workspace.workspaceMessage = QStringLiteral("Listing");
            s.findMessage = l("find.results.format").arg(localizedCount(5, kCountedMatches));
        });
        settle();
    }
    QList<QWidget*> shownPanels() const {
        QList<QWidget*> panels;
        for (const char* name : {"findReplaceBar", "searchCenterPanel", "folderSearchPanel",
                                 "workspacePanel", "welcomePanel"}) {
            auto* found = window->findChild<QWidget*>(QString::fromLatin1(name));
            if (found && found->isVisible())
                panels << found;
        }
        return panels;
    }
    // Every text and symbol of the shown panels stands out from what it is drawn on.
    void expectReadable(const char* theme) {
        const QList<QWidget*> panels = shownPanels();
        ASSERT_EQ(panels.size(), 5) << theme;
        for (QWidget* shown : panels) {
            const std::string where = theme + (" " + shown->objectName().toStdString());
            for (QWidget* w : shown->findChildren<QWidget*>()) {
                if (!w->isVisible())
                    continue;
                const QColor behind = backgroundBehind(w);
                const auto* label = qobject_cast<QLabel*>(w);
                const auto* elided = qobject_cast<ElidedLabel*>(w);
                const bool text = (label && !label->text().isEmpty()) ||
                                  (elided && !elided->text().isEmpty()) ||
                                  qobject_cast<QCheckBox*>(w);
                if (text) {
                    EXPECT_GE(contrast(w->palette().color(QPalette::WindowText), behind), 3.0)
                        << where << " " << w->metaObject()->className() << " "
                        << (label ? label->text().toStdString() : std::string());
                }
                const auto* button = qobject_cast<QToolButton*>(w);
                if (button && !button->icon().isNull() && button->autoRaise()) {
                    EXPECT_GE(contrast(symbolColor(button), behind), 2.0)
                        << where << " symbol of " << button->toolTip().toStdString();
                }
            }
        }
    }

    QTemporaryDir dir;
    std::unique_ptr<Defaults> defaults;
    QPointer<EditorWindowView> window;
};

TEST_F(PanelLook, EveryPanelFollowsTheThemeAlsoAfterASwitch) {
    useTheme("light");
    showEveryPanel();
    expectReadable("light");
    const QColor lightBar = bar()->palette().color(QPalette::Window);

    useTheme("midnight");
    EXPECT_LT(bar()->palette().color(QPalette::Window).lightness(), 100);
    EXPECT_LT(folderPanel()->palette().color(QPalette::Window).lightness(), 100);
    expectReadable("midnight");

    useTheme("light");
    EXPECT_EQ(bar()->palette().color(QPalette::Window), lightBar);
    expectReadable("light again");
}

TEST_F(PanelLook, AWindowOpenedInMidnightIsDarkFromTheStart) {
    useTheme("midnight");
    showEveryPanel();
    expectReadable("midnight");
}

// Nothing overlaps inside the bar: the controls of each row side by side within it.
void expectNoOverlap(QWidget* bar) {
    const auto isControl = [](const QWidget* w) {
        return qobject_cast<const QLineEdit*>(w) || qobject_cast<const QAbstractButton*>(w) ||
               qobject_cast<const QComboBox*>(w) || qobject_cast<const QLabel*>(w) ||
               qobject_cast<const ElidedLabel*>(w);
    };
    QList<QPair<QWidget*, QRect>> controls;
    for (QWidget* w : bar->findChildren<QWidget*>()) {
        if (!w->isVisible() || !isControl(w))
            continue;
        bool inner = false; // a part of another control (a field's clear button)
        for (QWidget* up = w->parentWidget(); up != bar; up = up->parentWidget())
            inner = inner || isControl(up);
        if (!inner)
            controls.append({w, QRect(w->mapTo(bar, QPoint(0, 0)), w->size())});
    }
    ASSERT_GT(controls.size(), 5) << bar->objectName().toStdString();
    for (qsizetype i = 0; i < controls.size(); ++i) {
        const auto& [widget, rect] = controls.at(i);
        EXPECT_TRUE(bar->rect().contains(rect))
            << bar->objectName().toStdString() << ": " << widget->metaObject()->className() << " "
            << widget->toolTip().toStdString() << " leaves the bar";
        for (qsizetype j = i + 1; j < controls.size(); ++j)
            EXPECT_FALSE(rect.intersects(controls.at(j).second))
                << bar->objectName().toStdString() << ": " << widget->metaObject()->className()
                << " " << widget->toolTip().toStdString() << " overlaps "
                << controls.at(j).first->metaObject()->className() << " "
                << controls.at(j).first->toolTip().toStdString();
    }
}

TEST_F(PanelLook, NothingOverlapsInTheSmallestWindow) {
    showEveryPanel();
    // A recorded run fills the search center's picker with a long title.
    model().update([](EditorWindowState& s) {
        SearchCenterRun run;
        run.id = QUuid::createUuid();
        run.scope = SearchCenterScope::Folder;
        run.query = QStringLiteral("a rather long query that names something");
        run.results = {SearchCenterResult{}};
        s.searchCenter.searchCenterRuns = {run};
        s.searchCenter.selectedSearchRunID = run.id;
    });
    // As narrow as the window goes, and tall enough for every panel beside the editor's lines.
    window->resize(1, 900);
    settle();
    ASSERT_LE(window->width(), EditorWindowView::kMinimumContentWidth + 20);
    for (WindowPanel which :
         {WindowPanel::FindBar, WindowPanel::SearchCenter, WindowPanel::FolderSearch}) {
        ASSERT_TRUE(panel(which)->isVisible());
        expectNoOverlap(panel(which));
    }
    // The find bar makes room by moving the replace controls to its second row.
    EXPECT_TRUE(bar()->isCompact());
    const auto* status = static_cast<ElidedLabel*>(bar()->statusLabel());
    EXPECT_EQ(status->displayedText(), status->text());
}

TEST_F(PanelLook, StatusTextsGetTheRoomTheyNeed) {
    showEveryPanel();
    const QString folderStatus =
        l("folder-search.results-files.format")
            .arg(localizedCount(1234, kCountedResults), localizedCount(567, kCountedFiles));
    model().update([&](EditorWindowState& s) {
        s.folderSearch.folderSearchMessage = folderStatus;
        s.findMessage =
            l("find.open-documents.results.format").arg(localizedCount(1234, kCountedMatches));
    });
    settle();
    ASSERT_EQ(window->width(), 1060);
    EXPECT_EQ(folderPanel()->statusLabel()->displayedText(), folderStatus);
    const auto* status = static_cast<ElidedLabel*>(bar()->statusLabel());
    EXPECT_EQ(status->displayedText(), status->text());

    window->resize(1400, 800);
    settle();
    // Wide enough for every control of the bar in one row, and still the whole status.
    EXPECT_FALSE(bar()->isCompact());
    EXPECT_EQ(status->displayedText(), status->text());
    EXPECT_GE(status->width(), 200);
    expectNoOverlap(bar());
}

TEST_F(PanelLook, NamesFromFilesAndPeopleShowAsTyped) {
    const QString hostile = dir.filePath(QStringLiteral("<h1>BIG<i>x&y.txt"));
    const QString other = dir.filePath(QStringLiteral("other.txt"));
    for (const QString& path : {hostile, other}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("one\n");
    }
    const auto shownAsTyped = [this] {
        int shown = 0;
        for (QLabel* label : window->findChildren<QLabel*>()) {
            if (!label->text().contains(QStringLiteral("<h1>")) || !label->isVisible())
                continue;
            ++shown;
            EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
        }
        return shown;
    };

    // The welcome panel's recent file.
    model().seams().recentFiles = [hostile] { return QList<QUrl>{QUrl::fromLocalFile(hostile)}; };
    model().update([](EditorWindowState&) {});
    settle();
    EXPECT_EQ(shownAsTyped(), 1);

    model().opening().openDocument(QUrl::fromLocalFile(other));
    model().opening().openDocument(QUrl::fromLocalFile(hostile));
    waitForOpening(model());
    settle();
    ASSERT_EQ(activeTab(model().state()).fileURL, QUrl::fromLocalFile(hostile));
    CompareView(model()).toggleCompareView();
    settle();
    SplitViews(model()).cloneActiveView();
    settle();

    EXPECT_EQ(shownAsTyped(), 2); // the compare title and the clone's header
    // The tab's button: no shortcut letter from the "&", a tooltip with the name as typed.
    int buttons = 0;
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (!button->text().contains(QStringLiteral("<h1>")))
            continue;
        ++buttons;
        EXPECT_TRUE(QKeySequence::mnemonic(button->text()).isEmpty());
        QTextDocument tip;
        tip.setHtml(button->toolTip());
        EXPECT_EQ(tip.toPlainText(), QFileInfo(hostile).fileName());
    }
    EXPECT_GE(buttons, 1);

    // A history entry with "&" is an entry, not a shortcut letter.
    model().update([](EditorWindowState& s) {
        s.find.findHistory = {QStringLiteral("salt & pepper")};
        s.find.showFindBar = true;
    });
    settle();
    const QList<QAction*> entries = bar()->findHistoryMenu()->actions();
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries.first()->iconText(), QStringLiteral("salt & pepper"));
    EXPECT_EQ(entries.first()->data().toString(), QStringLiteral("salt & pepper"));
}

} // namespace
} // namespace dunmoss::test
