#include "editor/DocumentDisposal.h"

#include <QTextDocument>
#include <QThreadPool>

namespace dunmoss {

void disposeDocumentAside(QTextDocument* document) {
    if (!document)
        return;
    Q_ASSERT(!document->parent() && document->thread() == QThread::currentThread());
    // Belonging to no thread, it takes no events while the pool thread deletes it.
    document->moveToThread(nullptr);
    QThreadPool::globalInstance()->start([document] { delete document; });
}

} // namespace dunmoss
