#include "window/DocumentPrinting.h"

#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"
#include "window/WindowInteraction.h"

#include <QAbstractTextDocumentLayout>
#include <QFontDatabase>
#include <QPointer>
#include <QPrinter>
#include <QTextDocument>
#include <QTextOption>
#include <memory>

namespace dunmoss {

int DocumentPrinting::printPlainText(const QString& text, const QString& jobTitle,
                                     QPrinter& printer) {
    printer.setDocName(jobTitle);
    QTextDocument document;
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::Monospace);
    font.setPointSizeF(11);
    font.setWeight(QFont::Normal);
    document.setDefaultFont(font);
    QTextOption option = document.defaultTextOption();
    // Long tokens break anywhere rather than running off the page.
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document.setDefaultTextOption(option);
    document.setDocumentMargin(0);
    document.setPlainText(text);
    // Laid out at the printer's resolution, one page per printable area.
    document.documentLayout()->setPaintDevice(&printer);
    document.setPageSize(QSizeF(printer.width(), printer.height()));
    document.print(&printer);
    return document.pageCount();
}

void DocumentPrinting::printDocument(std::function<void()> done) {
    auto finish = [done] {
        if (done)
            done();
    };
    WindowInteraction* interaction = m_model.interaction();
    if (!interaction) {
        finish();
        return;
    }
    const EditorTab& tab = keyboardTab(m_model.state());
    const QUuid tabID = tab.id;
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    printer->setDocName(displayTitle(tab));
    QPointer<EditorWindowModel> model(&m_model);
    interaction->runPrintDialog(printer.get(), [model, tabID, printer, finish](bool accepted) {
        if (model && accepted) {
            if (const EditorTab* current = model->tab(tabID))
                printPlainText(current->document.text, displayTitle(*current), *printer);
        }
        finish();
    });
}

} // namespace dunmoss
