#include "app/UpdateController.h"

#include "platform/Localization.h"

#include <QApplication>
#include <QMessageBox>

namespace dunmoss {

namespace {

void showReportDialog(const SelfUpdater::CheckReport& report) {
    auto* box = new QMessageBox(QApplication::activeWindow());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(QMessageBox::Information);
    box->setWindowTitle(report.title);
    box->setText(report.title);
    box->setInformativeText(report.message);
    box->addButton(localizedString(QStringLiteral("error.ok")), QMessageBox::AcceptRole);
    box->open();
}

} // namespace

SelfUpdater::SelfUpdater() : m_started(true), m_presenter(showReportDialog) {}

SelfUpdater::CheckReport SelfUpdater::checkReport(const QString& version) {
    return CheckReport{
        localizedString(QStringLiteral("update.check.title")),
        localizedString(QStringLiteral("update.check.unavailable.format")).arg(version)};
}

void SelfUpdater::checkForUpdates() {
    ++m_checks;
    QString version = QCoreApplication::applicationVersion();
    if (version.isEmpty())
        version = QStringLiteral(DUNMOSS_VERSION);
    if (m_presenter)
        m_presenter(checkReport(version));
}

DirectUpdateController& DirectUpdateController::shared() {
    static DirectUpdateController controller;
    return controller;
}

SelfUpdater& DirectUpdateController::updaterController() {
    if (!m_updater)
        m_updater = std::make_unique<SelfUpdater>();
    return *m_updater;
}

} // namespace dunmoss
