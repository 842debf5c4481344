#include "WindowFixture.h"
#include "platform/FileError.h"
#include "platform/IcuRegex.h"
#include "platform/Localization.h"
#include "window/WindowErrors.h"

namespace dunmoss::test {
namespace {

TEST(ErrorQueue, MessagesShowInOrderOfArrivalOneAtATime) {
    ErrorQueueState errors;
    presentError(errors, QStringLiteral("first"));
    presentError(errors, QStringLiteral("second"));
    presentError(errors, QStringLiteral("third"));
    EXPECT_EQ(errors.errorMessage, QStringLiteral("first"));
    showNextQueuedError(errors);
    EXPECT_EQ(errors.errorMessage, QStringLiteral("second"));
    showNextQueuedError(errors);
    EXPECT_EQ(errors.errorMessage, QStringLiteral("third"));
    showNextQueuedError(errors);
    EXPECT_FALSE(errors.errorMessage.has_value());
    EXPECT_TRUE(errors.queuedErrorMessages.isEmpty());
}

TEST(ErrorQueue, RepeatsWaitOnceAndTheShownMessageMayComeBack) {
    ErrorQueueState errors;
    presentError(errors, QStringLiteral("shown"));
    presentError(errors, QStringLiteral("again"));
    presentError(errors, QStringLiteral("again"));
    presentError(errors, QStringLiteral("shown"));
    EXPECT_EQ(errors.queuedErrorMessages,
              QStringList({QStringLiteral("again"), QStringLiteral("shown")}));
    showNextQueuedError(errors);
    showNextQueuedError(errors);
    EXPECT_EQ(errors.errorMessage, QStringLiteral("shown"));
}

TEST(ErrorText, OnlyRegularExpressionErrorsAreIntroducedAsSuch) {
    const RegexError regexError(RegexError::Kind::InvalidPattern, QStringLiteral("(a"),
                                QStringLiteral("U_REGEX_MISMATCHED_PAREN"), 2);
    const QString wrapped = errorDisplayText(regexError);
    EXPECT_EQ(wrapped, localizedString(QStringLiteral("find.regex-error.format"))
                           .arg(regexError.localizedDescription()));

    const FileError writeError(FileErrorCode::FileWriteNoPermission, QStringLiteral("/x/a.txt"));
    EXPECT_EQ(errorDisplayText(writeError), writeError.localizedDescription());
    EXPECT_FALSE(errorDisplayText(writeError)
                     .startsWith(localizedString(QStringLiteral("find.regex-error.format"))
                                     .section(QLatin1Char('%'), 0, 0)));
}

using WindowErrorAlert = WindowFixture;

TEST_F(WindowErrorAlert, SetMessageReplacesTheShownOneAndKeepsTheQueue) {
    model->presentError(QStringLiteral("a"));
    model->presentError(QStringLiteral("b"));
    model->setErrorMessage(QStringLiteral("direct"));
    EXPECT_EQ(state().errors.errorMessage, QStringLiteral("direct"));
    EXPECT_EQ(state().errors.queuedErrorMessages, QStringList{QStringLiteral("b")});
    model->showNextQueuedError();
    EXPECT_EQ(state().errors.errorMessage, QStringLiteral("b"));
}

TEST_F(WindowErrorAlert, FailedSessionSaveIsReportedNotThrown) {
    failSessionSave = true;
    model->persistSession();
    ASSERT_EQ(state().notices.shown.size(), 1);
    EXPECT_TRUE(state().notices.shown.first().message.contains(
        QStringLiteral("session store unavailable")));
    EXPECT_FALSE(state().errors.errorMessage.has_value());

    QString reported;
    model->seams().reportSessionSaveFailure = [&](const std::exception& error) {
        reported = QString::fromLocal8Bit(error.what());
    };
    model->persistSession();
    EXPECT_EQ(reported, QStringLiteral("session store unavailable"));
}

} // namespace
} // namespace dunmoss::test
