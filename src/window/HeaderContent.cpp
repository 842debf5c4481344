#include "window/HeaderContent.h"

#include "platform/Localization.h"
#include "text/LanguageCatalogue.h"
#include "window/WindowDerivedValues.h"

#include <QFileInfo>
#include <cmath>

namespace dunmoss {

namespace {

// The URL's path as the person reads it: no percent-encoding.
QString plainPath(const QUrl& url) {
    return url.isLocalFile() ? url.toLocalFile() : url.path(QUrl::FullyDecoded);
}

} // namespace

QString headerTitle(const EditorTab& tab) {
    return displayTitle(tab);
}

QString headerFolderLine(const EditorTab& tab) {
    if (!tab.fileURL)
        return localizedString(QStringLiteral("document.local-draft"));
    return QFileInfo(plainPath(*tab.fileURL)).path();
}

bool showsUnsavedBadge(const EditorTab& tab) {
    return !tab.isReadOnly && tabIsModified(tab);
}

bool showsExternalChangeBadge(const EditorTab& tab) {
    return tab.hasExternalChanges;
}

QString headerLanguageName(const EditorTab& tab) {
    return localizedString(displayName(effectiveLanguage(tab)));
}

QString headerFontSizeText(double fontSize) {
    // A stored value that is no number shows as 0 rather than whatever a cast would make of it.
    const double whole = std::isfinite(fontSize) ? std::trunc(fontSize) : 0.0;
    const qint64 points = qint64(std::clamp(whole, -1e15, 1e15));
    return localizedString(QStringLiteral("%lld pt")).arg(points);
}

} // namespace dunmoss
