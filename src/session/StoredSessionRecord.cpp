#include "session/StoredSessionRecord.h"

#include <QSet>

namespace dunmoss {

namespace {

bool hasRepeatedTab(const RestoredSession& record) {
    QSet<QUuid> seen;
    for (const SessionTab& tab : record.tabs) {
        if (seen.contains(tab.id))
            return true;
        seen.insert(tab.id);
    }
    return false;
}

} // namespace

StoredSessionRecord::StoredSessionRecord(RestoredSession record, SessionRecordFormat format)
    : m_record(std::move(record)), m_format(format) {}

void StoredSessionRecord::settle() const {
    if (m_settled)
        return;
    m_settled = true;
    if (hasRepeatedTab(m_record))
        return;
    SessionTextMemo& memo = sessionTextMemo();
    memo.beginRecord();
    m_versions.reserve(m_record.tabs.size());
    for (SessionTab& tab : m_record.tabs) {
        Versions versions;
        versions.saved = memo.resolve(tab.id, SessionText::Saved, tab.savedSnapshot);
        // An unmodified tab's draft is its saved copy: the same string, taken in once.
        if (tab.draftText.constData() == tab.savedSnapshot.constData() &&
            tab.draftText.size() == tab.savedSnapshot.size()) {
            versions.draftFrom = SessionText::Saved;
            versions.draft = versions.saved;
        } else {
            versions.draft = memo.resolve(tab.id, SessionText::Draft, tab.draftText);
        }
        m_versions.push_back(versions);
        tab.draftText = QString();
        tab.savedSnapshot = QString();
    }
}

bool StoredSessionRecord::memoized() const {
    return m_versions.size() == size_t(m_record.tabs.size());
}

bool StoredSessionRecord::write(QIODevice& device) const {
    settle();
    if (!memoized())
        return writeSessionRecord(m_record, m_format, device);
    SessionTextMemo& memo = sessionTextMemo();
    return writeSessionRecord(
        m_record, m_format, device, [&](QIODevice& out, qsizetype tab, SessionText text) {
            const Versions& versions = m_versions.at(size_t(tab));
            const QUuid& id = m_record.tabs.at(tab).id;
            return text == SessionText::Draft
                       ? memo.write(out, id, versions.draftFrom, versions.draft)
                       : memo.write(out, id, SessionText::Saved, versions.saved);
        });
}

bool StoredSessionRecord::sameContent(const StoredValue& other) const {
    const auto* record = dynamic_cast<const StoredSessionRecord*>(&other);
    if (!record)
        return false;
    settle();
    record->settle();
    // Texts let go on one side only cannot be compared.
    return memoized() == record->memoized() && m_versions == record->m_versions &&
           sameSessionContent(m_record, record->m_record);
}

} // namespace dunmoss
