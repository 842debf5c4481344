#pragma once

#include "session/SessionRecord.h"
#include "session/SessionTextMemo.h"
#include "session/SessionWriter.h"

#include <utility>
#include <vector>

namespace dunmoss {

// A session record handed to the writer. On the writer's thread its texts are taken into the
// session text memo and let go at once, before the file is written, so the editor's next key
// finds its text held by nobody else; from then on the texts are known by their versions, and
// the record is written with each text's escaped bytes from the memo. A record whose tabs do
// not all have their own identifier keeps its texts and is written whole.
class StoredSessionRecord final : public StoredValue {
public:
    StoredSessionRecord(RestoredSession record, SessionRecordFormat format);

    bool write(QIODevice& device) const override;
    // Equal but for the time it was made.
    bool sameContent(const StoredValue& other) const override;

private:
    struct Versions {
        SessionText draftFrom = SessionText::Draft;
        SessionTextMemo::Version draft = 0;
        SessionTextMemo::Version saved = 0;
        friend bool operator==(const Versions&, const Versions&) = default;
    };
    // Takes the texts in; writer's thread only. Does nothing the second time.
    void settle() const;
    // The texts were taken into the memo (settled, without repeated tabs).
    bool memoized() const;

    mutable RestoredSession m_record;
    SessionRecordFormat m_format;
    mutable bool m_settled = false;
    mutable std::vector<Versions> m_versions;
};

} // namespace dunmoss
