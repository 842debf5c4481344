// A label in a row of labels: its text changes the row's layout only when it changes its width.
#include "editor/ElidedLabel.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

// Counts the layout requests a widget is sent.
class LayoutRequests : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::LayoutRequest)
            ++count;
        return false;
    }
};

TEST(ElidedLabel, ANewTextAsWideAsTheLastLeavesTheRowAloneAndAWiderOneWidensTheLabel) {
    QWidget row;
    auto* layout = new QHBoxLayout(&row);
    auto* label = new ElidedLabel(&row);
    label->setText(QStringLiteral("Ln 1, Col 12"));
    layout->addWidget(label);
    layout->addStretch(1);
    row.resize(600, 40);
    row.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&row));
    QApplication::processEvents();
    LayoutRequests requests;
    row.installEventFilter(&requests);

    label->setText(QStringLiteral("Ln 1, Col 13"));
    QApplication::processEvents();
    EXPECT_EQ(requests.count, 0);
    EXPECT_EQ(label->displayedText(), QStringLiteral("Ln 1, Col 13"));

    const int narrow = label->width();
    label->setText(QStringLiteral("Ln 100252, Col 1300"));
    QApplication::processEvents();
    EXPECT_GE(requests.count, 1);
    EXPECT_GT(label->width(), narrow);
    EXPECT_EQ(label->displayedText(), QStringLiteral("Ln 100252, Col 1300"));

    // A larger font asks for more room and gets it; the text stays whole.
    const int before = label->sizeHint().width();
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 2);
    label->setFont(font);
    QApplication::processEvents();
    EXPECT_GT(label->sizeHint().width(), before);
    EXPECT_GE(label->width(), label->sizeHint().width());
    EXPECT_EQ(label->displayedText(), QStringLiteral("Ln 100252, Col 1300"));
}

} // namespace
