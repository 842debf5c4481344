#pragma once

#include <QString>
#include <functional>

class QPrinter;

namespace dunmoss {

class EditorWindowModel;

// Printing the active tab's text: plain, in an 11-point monospaced font, wrapped to the
// printable width of the page. No colours, line numbers or editor font size.
class DocumentPrinting {
public:
    explicit DocumentPrinting(EditorWindowModel& model) : m_model(model) {}

    // Shows the print dialog for the tab whose pane has the keyboard; prints when the person
    // confirms.
    void printDocument(std::function<void()> done = {});

    // Lays the text out on the printer's pages and prints it; returns the number of pages.
    static int printPlainText(const QString& text, const QString& jobTitle, QPrinter& printer);

private:
    EditorWindowModel& m_model;
};

} // namespace dunmoss
