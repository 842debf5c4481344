#include "session/SessionTextMemo.h"

#include "session/SessionWriter.h"
#include "text/TextInPlaceEdit.h"

#include <QIODevice>
#include <chrono>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace dunmoss {

namespace {

// Texts of tabs that this many records did not name are let go (a closed tab, or one whose
// window went): two windows writing in turn keep theirs.
constexpr quint64 kRecordsKept = 8;

SessionText otherText(SessionText which) {
    return which == SessionText::Draft ? SessionText::Saved : SessionText::Draft;
}

} // namespace

SessionTextMemo::Version SessionTextMemo::resolve(const QUuid& tab, SessionText which,
                                                  const QString& text) {
    Entry& entry = m_entries[Key{tab, which}];
    entry.lastRecord = m_record;
    // A shared saved copy is the same string again until the tab is saved or reloaded.
    if (entry.version && entry.text.constData() == text.constData() &&
        entry.text.size() == text.size())
        return entry.version;
    const Entry* base = entry.version ? &entry : nullptr;
    SharedEnds ends = base ? sharedEnds(base->text, text) : SharedEnds{};
    if (base && base->text.size() == text.size() && ends.prefix + ends.suffix == text.size())
        return entry.version;

    // The closest of what is kept: the same text before, or the tab's other text (a draft
    // starts from its saved copy, a saved copy from the draft that was saved).
    if (ends.prefix + ends.suffix < text.size() / 2) {
        const auto other = m_entries.constFind(Key{tab, otherText(which)});
        if (other != m_entries.constEnd()) {
            const SharedEnds otherEnds = sharedEnds(other->text, text);
            if (!base || otherEnds.prefix + otherEnds.suffix > ends.prefix + ends.suffix) {
                base = &*other;
                ends = otherEnds;
            }
        }
    }
    std::optional<EscapedText> escaped;
    if (base && base->escaped) {
        // The entry's own bytes are changed in place; another entry's are copied first.
        EscapedText from = base == &entry ? std::move(*entry.escaped) : *base->escaped;
        escaped = spliceEscaped(std::move(from), base->text, text, ends.prefix, ends.suffix);
    }

    if (which == SessionText::Saved) {
        entry.text = text;
    } else if (base == &entry && entry.text.isDetached()) {
        // Only the shorter side of the change moves: keys at the top of a long draft move a few
        // characters, not the whole rest.
        replaceInPlace(
            entry.text, ends.prefix, entry.text.size() - ends.prefix - ends.suffix,
            QStringView(text).sliced(ends.prefix, text.size() - ends.prefix - ends.suffix));
    } else {
        // A copy of its own, with room at both ends for the keys still to come.
        entry.text = concatenatedWithRoom(text, {}, {}, text.size() / 16 + 64);
    }
    entry.escaped = std::move(escaped);
    entry.version = ++m_lastVersion;
    entry.writes = 0;
    return entry.version;
}

bool SessionTextMemo::write(QIODevice& device, const QUuid& tab, SessionText which,
                            Version version) {
    const auto found = m_entries.find(Key{tab, which});
    if (found == m_entries.end() || found->version != version)
        return false;
    Entry& entry = *found;
    ++entry.writes;
    // A draft being typed into is written at every snapshot, each time a little different; a
    // saved copy is kept escaped once it is written a third time (the first save writes it
    // twice, and a text written only then is not worth its bytes).
    if (!entry.escaped && (which == SessionText::Draft || entry.writes > 2))
        entry.escaped = escapeText(entry.text);
    if (!entry.escaped)
        return writeEscapedText(device, entry.text);
    const QByteArray& bytes = entry.escaped->bytes;
    return device.write(bytes) == bytes.size();
}

void SessionTextMemo::beginRecord() {
    ++m_record;
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (m_record - it->lastRecord > kRecordsKept)
            it = m_entries.erase(it);
        else
            ++it;
    }
}

void SessionTextMemo::dropEscaped() {
    for (Entry& entry : m_entries)
        entry.escaped.reset();
#ifdef __GLIBC__
    // The bytes were megabytes in the writer's own arena: give them back.
    malloc_trim(0);
#endif
}

bool SessionTextMemo::holdsEscaped(const QUuid& tab, SessionText which) const {
    const auto found = m_entries.constFind(Key{tab, which});
    return found != m_entries.constEnd() && found->escaped.has_value();
}

SessionTextMemo& sessionTextMemo() {
    static SessionTextMemo* const memo = [] {
        auto* made = new SessionTextMemo;
        // Once nobody has typed for a while the escaped bytes are not worth their memory.
        SessionWriter::shared().whenIdle(std::chrono::seconds(30), [made] { made->dropEscaped(); });
        return made;
    }();
    return *memo;
}

} // namespace dunmoss
