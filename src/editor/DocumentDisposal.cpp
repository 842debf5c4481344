#include "editor/DocumentDisposal.h"

#include <QCoreApplication>
#include <QTextDocument>
#include <QThreadPool>
#include <QTimer>

namespace dunmoss {

void disposeDocumentAside(QTextDocument* document) {
    if (!document)
        return;
    Q_ASSERT(!document->parent() && document->thread() == QThread::currentThread());
    // The program is ending (its pool may be gone already): nothing waits for the window now.
    if (!QCoreApplication::instance() || QCoreApplication::closingDown()) {
        delete document;
        return;
    }
    // A timer left running would still fire here for an object deleted there.
    for (QTimer* timer : document->findChildren<QTimer*>())
        timer->stop();
    // Belonging to no thread, it takes no events while the pool thread deletes it.
    document->moveToThread(nullptr);
    QThreadPool::globalInstance()->start([document] { delete document; });
}

} // namespace dunmoss
