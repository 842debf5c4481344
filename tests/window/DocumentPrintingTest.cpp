#include "window/DocumentPrinting.h"
#include "WindowFixture.h"
#include "platform/Localization.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPrinter>
#include <QRegularExpression>
#include <cmath>

namespace dunmoss::test {
namespace {

int pdfPageCount(const QByteArray& pdf) {
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page(?!s)"));
    return int(QString::fromLatin1(pdf).count(page));
}

class DocumentPrint : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        person.pdfPath = path(QStringLiteral("out.pdf"));
    }

    void setActiveText(const QString& text) {
        model->update([&](EditorWindowState& s) { s.tabs[0].document.text = text; });
    }
};

TEST_F(DocumentPrint, ALongTextFillsAsManyPagesAsItsLinesNeed) {
    QStringList lines;
    for (int i = 1; i <= 600; ++i)
        lines.append(QStringLiteral("line %1").arg(i));
    setActiveText(lines.join(QLatin1Char('\n')));
    model->printing().printDocument();

    const QByteArray pdf = readFile(QUrl::fromLocalFile(person.pdfPath));
    ASSERT_TRUE(pdf.startsWith("%PDF"));
    const int pages = pdfPageCount(pdf);

    // Worked out on our own from the page and the font: lines per page between the font's
    // height and its line spacing (which adds the leading).
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path(QStringLiteral("probe.pdf")));
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(11);
    const QFontMetricsF metrics(font, &printer);
    const double pageHeight = printer.height();
    const int fewest = int(std::ceil(600.0 / std::floor(pageHeight / metrics.height())));
    const int most = int(std::ceil(600.0 / std::floor(pageHeight / metrics.lineSpacing())));
    EXPECT_GE(pages, fewest);
    EXPECT_LE(pages, most);
    EXPECT_GT(pages, 5);
}

TEST_F(DocumentPrint, AShortTextIsOnePageAndUntitledNamesTheJob) {
    setActiveText(QStringLiteral("hello"));
    model->printing().printDocument();
    ASSERT_EQ(person.printJobTitles.size(), 1);
    EXPECT_EQ(person.printJobTitles.first(), localizedString(QStringLiteral("document.untitled")));
    EXPECT_EQ(pdfPageCount(readFile(QUrl::fromLocalFile(person.pdfPath))), 1);
}

TEST_F(DocumentPrint, InSplitViewThePaneWithTheKeyboardIsPrinted) {
    EditorTab second = untitledTab();
    second.fileURL = QUrl::fromLocalFile(path(QStringLiteral("second.txt")));
    second.document.text = QStringLiteral("second");
    model->update([&](EditorWindowState& s) {
        s.tabs.append(second);
        s.split.splitMode = SplitEditorMode::Split;
    });
    model->setKeyboardInSecondPane(true);
    model->printing().printDocument();
    EXPECT_EQ(person.printJobTitles, QStringList{QStringLiteral("second.txt")});
}

TEST_F(DocumentPrint, LongLinesWrapInsteadOfRunningOffThePage) {
    setActiveText(QString(20'000, QLatin1Char('w')));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path(QStringLiteral("wide.pdf")));
    const int pages =
        DocumentPrinting::printPlainText(active().document.text, QStringLiteral("wide"), printer);
    EXPECT_GT(pages, 1);
    EXPECT_EQ(printer.docName(), QStringLiteral("wide"));
    EXPECT_EQ(pdfPageCount(readFile(QUrl::fromLocalFile(path(QStringLiteral("wide.pdf"))))), pages);
}

TEST_F(DocumentPrint, ACancelledDialogPrintsNothing) {
    person.acceptPrint = false;
    model->printing().printDocument();
    EXPECT_EQ(person.printJobTitles.size(), 1);
    EXPECT_FALSE(QFile::exists(person.pdfPath));
}

} // namespace
} // namespace dunmoss::test
