#pragma once

#include <QString>
#include <QStringList>
#include <exception>
#include <optional>

namespace dunmoss {

// The error alert's message and the ones waiting behind it, oldest first.
struct ErrorQueueState {
    std::optional<QString> errorMessage;
    QStringList queuedErrorMessages;
};

// Shows the message when no alert is up; otherwise queues it unless an equal message already
// waits. The message on screen is not compared, so it may come back once after dismissal.
void presentError(ErrorQueueState& errors, const QString& message);

// The alert was dismissed: the next waiting message comes up, or none.
void showNextQueuedError(ErrorQueueState& errors);

// The error's own wording in the interface language.
QString localizedErrorDescription(const std::exception& error);

// The text shown for an error. Errors raised by a regular expression (a pattern or template
// that does not build, a match that ran too long) are introduced as such; every other error
// (files, encodings, writes) shows its own description, whatever the find options are.
QString errorDisplayText(const std::exception& error);

} // namespace dunmoss
