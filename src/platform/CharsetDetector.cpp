#include "platform/CharsetDetector.h"

#include <limits>
#include <unicode/ucsdet.h>

namespace dunmoss {

namespace {

struct DetectorHandle {
    UCharsetDetector* detector = nullptr;
    ~DetectorHandle() {
        if (detector)
            ucsdet_close(detector);
    }
};

} // namespace

QList<CharsetMatch> detectCharsets(QByteArrayView bytes) {
    QList<CharsetMatch> found;
    if (bytes.isEmpty())
        return found;
    UErrorCode status = U_ZERO_ERROR;
    DetectorHandle handle;
    handle.detector = ucsdet_open(&status);
    if (U_FAILURE(status))
        return found;
    const auto length =
        static_cast<int32_t>(qMin<qsizetype>(bytes.size(), std::numeric_limits<int32_t>::max()));
    ucsdet_setText(handle.detector, bytes.data(), length, &status);
    int32_t matchCount = 0;
    const UCharsetMatch** matches = ucsdet_detectAll(handle.detector, &matchCount, &status);
    if (U_FAILURE(status) || !matches)
        return found;
    // Matches come sorted by falling confidence.
    for (int32_t i = 0; i < matchCount; ++i) {
        UErrorCode matchStatus = U_ZERO_ERROR;
        const char* name = ucsdet_getName(matches[i], &matchStatus);
        const int32_t confidence = ucsdet_getConfidence(matches[i], &matchStatus);
        if (U_FAILURE(matchStatus) || !name || confidence <= 0)
            continue;
        found.append({QString::fromLatin1(name), int(confidence)});
    }
    return found;
}

std::optional<qsizetype> detectCharsetAmong(QByteArrayView bytes,
                                            const QStringList& allowedCharsets) {
    if (allowedCharsets.isEmpty())
        return std::nullopt;
    for (const CharsetMatch& match : detectCharsets(bytes)) {
        for (qsizetype index = 0; index < allowedCharsets.size(); ++index) {
            if (allowedCharsets[index].compare(match.name, Qt::CaseInsensitive) == 0)
                return index;
        }
    }
    return std::nullopt;
}

} // namespace dunmoss
