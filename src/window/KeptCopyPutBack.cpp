#include "window/KeptCopyPutBack.h"

#include "platform/FileError.h"
#include "platform/Localization.h"
#include "text/EditorTab.h"
#include "window/DocumentOpening.h"
#include "window/DocumentReloading.h"
#include "window/EditorWindowModel.h"
#include "window/SettledRead.h"
#include "window/WindowDerivedValues.h"
#include "window/WindowErrors.h"

#include <QFileInfo>

namespace dunmoss {

namespace {

class KeptCopyPutBack final : public QueuedRead {
public:
    KeptCopyPutBack(EditorWindowModel& model, const QUuid& tabID, const QUrl& url,
                    KeptCopyOffer offer)
        : m_model(model), m_tabID(tabID), m_url(url), m_offer(std::move(offer)) {}

    void read() override {
        try {
            if (!m_offer.fileFound)
                throw FileError(FileErrorCode::FileWriteUnknown, m_url.toLocalFile(),
                                localizedString(QStringLiteral("document.kept-copy.changed")));
            putShownCopyBack(m_url.toLocalFile(), m_offer.copy, *m_offer.fileFound);
        } catch (...) {
            m_failure = std::current_exception();
        }
    }

    QString progressMessage() const override {
        return localizedString(QStringLiteral("document.reloading.format"))
            .arg(QFileInfo(m_url.toLocalFile()).fileName());
    }

    void apply() override {
        if (m_failure) {
            try {
                std::rethrow_exception(m_failure);
            } catch (const std::exception& error) {
                m_model.presentError(errorDisplayText(error));
            }
            return;
        }
        m_model.clearNoticeCause(QString::fromLatin1(kKeptCopyNoticeCausePrefix) +
                                 m_tabID.toString(QUuid::WithoutBraces));
        const EditorTab* tab = m_model.tab(m_tabID);
        if (!tab || tab->fileURL != m_url || tabIsModified(*tab))
            return;
        EditorWindowModel& model = m_model;
        DocumentReloading(m_model).rereadTab(
            m_tabID, std::nullopt,
            {[&model] {
                 model.setPassingMessage(
                     localizedString(QStringLiteral("document.kept-copy.put-back.done")));
                 model.persistSession();
             },
             [&model](const std::exception& error) {
                 model.setErrorMessage(errorDisplayText(error));
             }});
    }

private:
    EditorWindowModel& m_model;
    const QUuid m_tabID;
    const QUrl m_url;
    const KeptCopyOffer m_offer;
    std::exception_ptr m_failure;
};

} // namespace

void putKeptCopyBack(EditorWindowModel& model, const QUuid& tabID, const KeptCopyOffer& offer) {
    const EditorTab* tab = model.tab(tabID);
    if (!tab || !tab->fileURL)
        return;
    model.opening().enqueue(std::make_unique<KeptCopyPutBack>(model, tabID, *tab->fileURL, offer));
}

} // namespace dunmoss
