#pragma once

#include "window/WindowInteraction.h"

#include <QList>
#include <QPrinter>
#include <QString>
#include <QUrl>
#include <deque>
#include <functional>
#include <optional>

namespace dunmoss::test {

// Stands in for the person in front of the window: answers panels and dialogs from a script,
// at once, or holds the answer back until the test releases it.
class ScriptedInteraction : public WindowInteraction {
public:
    // Answers for the save panel, in order; nothing = cancel. Runs out = cancel.
    std::deque<std::optional<QUrl>> saveAnswers;
    std::deque<QList<QUrl>> openAnswers;
    std::deque<std::optional<QUrl>> folderAnswers;
    std::deque<int> alertAnswers;
    // Entries picked in tool sheets, in order; runs out = dismissed.
    std::deque<int> toolSheetAnswers;
    // The print dialog: accepted answers print to this PDF file.
    bool acceptPrint = true;
    QString pdfPath;

    // When set, answers wait in `pending` until releasePending().
    bool deferAnswers = false;
    std::deque<std::function<void()>> pending;

    // What the model asked.
    QList<SavePanelOptions> savePanels;
    QList<OpenPanelOptions> openPanels;
    QList<FolderPanelOptions> folderPanels;
    QList<AlertRequest> alerts;
    QList<ToolSheet> toolSheets;
    QStringList printJobTitles;

    void chooseSaveLocation(const SavePanelOptions& options,
                            std::function<void(std::optional<QUrl>)> done) override {
        savePanels.append(options);
        std::optional<QUrl> answer;
        if (!saveAnswers.empty()) {
            answer = saveAnswers.front();
            saveAnswers.pop_front();
        }
        answerWith([done, answer] { done(answer); });
    }

    void chooseFilesToOpen(const OpenPanelOptions& options,
                           std::function<void(QList<QUrl>)> done) override {
        openPanels.append(options);
        QList<QUrl> answer;
        if (!openAnswers.empty()) {
            answer = openAnswers.front();
            openAnswers.pop_front();
        }
        answerWith([done, answer] { done(answer); });
    }

    void chooseFolder(const FolderPanelOptions& options,
                      std::function<void(std::optional<QUrl>)> done) override {
        folderPanels.append(options);
        std::optional<QUrl> answer;
        if (!folderAnswers.empty()) {
            answer = folderAnswers.front();
            folderAnswers.pop_front();
        }
        answerWith([done, answer] { done(answer); });
    }

    void showAlert(const AlertRequest& request, std::function<void(int)> done) override {
        alerts.append(request);
        int answer = -1;
        if (!alertAnswers.empty()) {
            answer = alertAnswers.front();
            alertAnswers.pop_front();
        }
        answerWith([done, answer] { done(answer); });
    }

    void runPrintDialog(QPrinter* printer, std::function<void(bool)> done) override {
        printJobTitles.append(printer->docName());
        if (acceptPrint) {
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(pdfPath);
        }
        const bool accepted = acceptPrint;
        answerWith([done, accepted] { done(accepted); });
    }

    void showToolSheet(ToolSheet sheet, std::function<void(int)> done) override {
        toolSheets.append(sheet);
        int answer = -1;
        if (!toolSheetAnswers.empty()) {
            answer = toolSheetAnswers.front();
            toolSheetAnswers.pop_front();
        }
        answerWith([done, answer] { done(answer); });
    }

    // Gives the oldest held answer only: a question it leads to stays held.
    void releaseNext() {
        auto answer = std::move(pending.front());
        pending.pop_front();
        answer();
    }

    void releasePending() {
        while (!pending.empty()) {
            auto answer = std::move(pending.front());
            pending.pop_front();
            answer();
        }
    }

private:
    void answerWith(std::function<void()> answer) {
        if (deferAnswers)
            pending.push_back(std::move(answer));
        else
            answer();
    }
};

} // namespace dunmoss::test
