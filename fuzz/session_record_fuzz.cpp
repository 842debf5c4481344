// The session record comes back from the settings file and the recovery file, which anyone can
// edit: decoding must refuse anything malformed with its own error and nothing else, and a
// decoded record must read back the same from both written forms, however they are written.
#include "session/SessionRecord.h"
#include "session/StrictJson.h"

#include <QBuffer>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    dunmoss::RestoredSession session;
    try {
        session = dunmoss::decodeSessionRecord(bytes);
    } catch (const dunmoss::JsonDecodeError&) {
        return 0;
    }
    for (const auto format :
         {dunmoss::SessionRecordFormat::Compact, dunmoss::SessionRecordFormat::PrettySorted}) {
        try {
            if (!(dunmoss::decodeSessionRecord(dunmoss::encodeSessionRecord(session, format)) ==
                  session))
                std::abort();
        } catch (const dunmoss::JsonDecodeError&) {
            std::abort();
        }
        // Written in pieces, the texts escaped straight into the file: the same bytes.
        QBuffer written;
        written.open(QIODevice::WriteOnly);
        if (!dunmoss::writeSessionRecord(session, format, written) ||
            written.data() != dunmoss::encodeSessionRecord(session, format))
            std::abort();
    }
    return 0;
}
