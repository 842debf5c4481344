#pragma once

#include "text/LineDiff.h"

#include <QString>
#include <QUuid>
#include <optional>

namespace dunmoss {

class EditorWindowModel;

// The compare panel's operations: the active tab (left) against one other tab (right), and
// copying either whole text over the other as one undo step of the tab that receives it.
class CompareView {
public:
    explicit CompareView(EditorWindowModel& model) : m_model(model) {}

    // Opening wishes for the first tab other than the active one (the active tab when alone).
    void toggleCompareView();
    void closeCompareView();
    // The picker's choice; the active tab itself may be chosen.
    void chooseCompareTab(const QUuid& tabID);

    // The whole text of one tab into another, the caret at its start. Nothing (and no status)
    // when either tab is gone or both are the same; a read-only target is refused.
    void copyTabText(const QUuid& sourceTabID, const QUuid& targetTabID);
    // Between the active tab and the tab on the right, as they are when the copy runs.
    void copyBaseToCompare();
    void copyCompareToBase();

private:
    std::optional<QUuid> compareTabID() const;

    EditorWindowModel& m_model;
};

// The last comparison and the two texts it was computed from: the diff runs again only when
// either text changed. QString's sharing makes an unchanged text compare in constant time.
class CompareCache {
public:
    // True when the comparison was computed afresh.
    bool refresh(const QString& leftText, const QString& rightText);
    const std::optional<TextCompareResult>& result() const { return m_result; }
    void clear();

private:
    QString m_leftText;
    QString m_rightText;
    std::optional<TextCompareResult> m_result;
};

} // namespace dunmoss
