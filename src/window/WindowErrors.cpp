#include "window/WindowErrors.h"

#include "platform/FileError.h"
#include "platform/IcuRegex.h"
#include "platform/Localization.h"

namespace dunmoss {

void presentError(ErrorQueueState& errors, const QString& message) {
    if (!errors.errorMessage) {
        errors.errorMessage = message;
        return;
    }
    if (!errors.queuedErrorMessages.contains(message))
        errors.queuedErrorMessages.append(message);
}

void showNextQueuedError(ErrorQueueState& errors) {
    if (errors.queuedErrorMessages.isEmpty()) {
        errors.errorMessage.reset();
        return;
    }
    errors.errorMessage = errors.queuedErrorMessages.takeFirst();
}

QString localizedErrorDescription(const std::exception& error) {
    if (const auto* fileError = dynamic_cast<const FileError*>(&error))
        return fileError->localizedDescription();
    if (const auto* regexError = dynamic_cast<const RegexError*>(&error))
        return regexError->localizedDescription();
    return QString::fromLocal8Bit(error.what());
}

QString errorDisplayText(const std::exception& error) {
    if (const auto* regexError = dynamic_cast<const RegexError*>(&error))
        return localizedString(QStringLiteral("find.regex-error.format"))
            .arg(regexError->localizedDescription());
    return localizedErrorDescription(error);
}

} // namespace dunmoss
