#include "text/DetectionSample.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dunmoss {

namespace {

bool isAscii(char byte) {
    return uchar(byte) < 0x80;
}

} // namespace

qsizetype firstNonAsciiByte(QByteArrayView bytes) {
    const char* data = bytes.data();
    const qsizetype size = bytes.size();
    qsizetype i = 0;
    // Many bytes at a time: ASCII heads can be megabytes long.
#if defined(__SSE2__)
    for (; i + 16 <= size; i += 16) {
        if (_mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i))) != 0)
            break;
    }
#endif
    for (; i + 8 <= size; i += 8) {
        uint64_t word;
        std::memcpy(&word, data + i, sizeof word);
        if (word & 0x8080808080808080ULL)
            break;
    }
    while (i < size && static_cast<unsigned char>(data[i]) < 0x80)
        ++i;
    return i;
}

QByteArrayView sampleFromFirstNonAscii(QByteArrayView bytes, qsizetype length) {
    const QByteArrayView rest = bytes.sliced(firstNonAsciiByte(bytes));
    return rest.first(qMin(rest.size(), length));
}

qsizetype firstNonAsciiUnit(QStringView text) {
    const char16_t* units = text.utf16();
    const qsizetype size = text.size();
    qsizetype i = 0;
    for (; i + 4 <= size; i += 4) {
        uint64_t word;
        std::memcpy(&word, units + i, sizeof word);
        if (word & 0xFF80FF80FF80FF80ULL)
            break;
    }
    while (i < size && units[i] < 0x80)
        ++i;
    return i;
}

QByteArray sampleForCharsetDetector(QByteArrayView sample, bool cutEnd) {
    constexpr qsizetype keptAsciiRun = 2;
    constexpr qsizetype fewestJudged = 3 * 2;
    constexpr qsizetype wanted = 80 * 2;
    if (cutEnd) {
        while (!sample.isEmpty() && !isAscii(sample.back()))
            sample.chop(1);
    }
    QByteArray compact;
    compact.reserve(sample.size());
    qsizetype high = 0;
    qsizetype asciiRun = 0;
    for (const char byte : sample) {
        asciiRun = isAscii(byte) ? asciiRun + 1 : 0;
        high += asciiRun == 0;
        if (asciiRun <= keptAsciiRun)
            compact += byte;
    }
    if (high < fewestJudged)
        return compact;
    const QByteArray once = compact;
    for (qsizetype shown = high;
         shown < wanted && compact.size() + once.size() <= detectorSampleByteCount; shown += high)
        compact += once;
    return compact;
}

} // namespace dunmoss
