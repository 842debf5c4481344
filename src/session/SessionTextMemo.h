#pragma once

#include "session/JsonTextEscaping.h"
#include "session/SessionRecord.h"

#include <QHash>
#include <QString>
#include <QUuid>
#include <optional>

class QIODevice;

namespace dunmoss {

// What the session writer last had of each tab's draft and saved copy, so that a snapshot taken
// while someone types escapes only what changed: the escaped bytes of a text are kept once it is
// written again and again, and a new text is made from the one before by escaping only the units
// between what the two share at their ends. A draft is kept as a copy of its own, so that the
// writer never holds the string the editor changes in place; a saved copy is shared, as nobody
// changes it. Used by the writer's thread only.
class SessionTextMemo {
public:
    // Names a text's content: two texts given the same version are equal. Never 0.
    using Version = quint64;

    // Takes in the tab's text: answers the version of the last text given for it when the two
    // are equal, else a new one. Does not keep `text` itself when it is a draft.
    Version resolve(const QUuid& tab, SessionText which, const QString& text);
    // Writes the escaped text of the version, which must be the newest given for it; false when
    // the device refused a write or the memo no longer holds that version.
    bool write(QIODevice& device, const QUuid& tab, SessionText which, Version version);

    // A record starts: texts of tabs no record named for a while are let go.
    void beginRecord();
    // Lets the escaped bytes go (the texts stay, so versions can still be compared).
    void dropEscaped();

    qsizetype size() const { return m_entries.size(); }
    bool holdsEscaped(const QUuid& tab, SessionText which) const;

private:
    struct Key {
        QUuid tab;
        SessionText which;
        friend bool operator==(const Key&, const Key&) = default;
        friend size_t qHash(const Key& key, size_t seed = 0) {
            return qHashMulti(seed, key.tab, int(key.which));
        }
    };
    struct Entry {
        QString text;
        Version version = 0;
        // Of `text`, when kept.
        std::optional<EscapedText> escaped;
        int writes = 0;
        quint64 lastRecord = 0;
    };

    QHash<Key, Entry> m_entries;
    Version m_lastVersion = 0;
    quint64 m_record = 0;
};

// The memo the session writer uses; made on first use and kept for the process.
SessionTextMemo& sessionTextMemo();

} // namespace dunmoss
