#include "tools/GoToLine.h"

#include "platform/Localization.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

#include <algorithm>

namespace dunmoss {

std::optional<qint64> GoToLine::parseLineNumber(const QString& text) {
    const QString trimmed = text.trimmed();
    // QString::toLongLong would also take "0x1f" or "1e3" in other bases or forms.
    qsizetype digitsFrom = trimmed.startsWith(u'+') || trimmed.startsWith(u'-') ? 1 : 0;
    if (digitsFrom >= trimmed.size())
        return std::nullopt;
    for (qsizetype i = digitsFrom; i < trimmed.size(); ++i)
        if (trimmed.at(i) < u'0' || trimmed.at(i) > u'9')
            return std::nullopt;
    bool ok = false;
    const qint64 value = trimmed.toLongLong(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

void GoToLine::setLineText(const QString& text) {
    m_model.update([&](EditorWindowState& state) { state.panels.goToLineText = text; });
}

void GoToLine::cancel() {
    m_model.update([](EditorWindowState& state) { state.panels.showGoToLineSheet = false; });
}

void GoToLine::goToLine() {
    const std::optional<qint64> number = parseLineNumber(m_model.state().panels.goToLineText);
    if (!number) {
        m_model.setErrorMessage(localizedString(QStringLiteral("tools.goto-line.invalid")));
        return;
    }
    const int index = m_model.keyboardTabIndex();
    const QString& text = m_model.state().tabs.at(index).document.text;
    const qint64 target = std::clamp<qint64>(*number, 1, lineCount(text));
    const qsizetype length = text.size();
    qsizetype start = 0;
    for (qint64 line = 1; line < target && start < length; ++line) {
        const qsizetype feed = text.indexOf(u'\n', start);
        if (feed < 0)
            break;
        start = feed + 1;
    }
    qsizetype end = text.indexOf(u'\n', start);
    if (end < 0)
        end = length;
    m_model.setSelection(std::min(length, start), std::max<qsizetype>(end - start, 0), index);
    m_model.update([&](EditorWindowState& state) {
        state.panels.showGoToLineSheet = false;
        state.findMessage =
            localizedString(QStringLiteral("tools.goto-line.done.format")).arg(target);
    });
}

} // namespace dunmoss
