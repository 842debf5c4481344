#include "platform/CjkTableDecoder.h"

#include "platform/AsciiRun.h"
#include "platform/UnicodeFastCodecs.h"

#include <array>
#include <cstdint>
#include <unicode/ucnv.h>
#include <vector>

namespace dunmoss {

namespace {

// Table entries at or above kFirstMarker are markers, not characters. A sequence that ICU maps
// to one of these code points is stored as kAskIcu, so the markers never hide a real mapping.
constexpr char16_t kFirstMarker = 0xFFFC;
constexpr char16_t kMore = 0xFFFC;    // lead byte, or the first half of a GB 18030 four-byte code
constexpr char16_t kAskIcu = 0xFFFE;  // the tables do not know; decode with ICU
constexpr char16_t kInvalid = 0xFFFF; // ICU rejects this sequence

// GB 18030 four-byte codes: b1 b2 b3 b4 with b2, b4 in 30..39 and b3 in 81..FE.
constexpr int kFourByteGroup = 126 * 10;
constexpr uint8_t kFourByteBmpLastLead = 0x84;

struct CjkTables {
    std::array<char16_t, 256> single{};
    std::vector<char16_t> pair = std::vector<char16_t>(65536, kInvalid);
    // GB 18030 only: four-byte codes with b1 in 81..84, indexed by fourByteIndex().
    std::vector<char16_t> fourByteBmp;
    bool asciiIdentity = false;
    // GB 18030 only: b1 in 90..E3 maps linearly onto U+10000..U+10FFFF.
    bool linearSupplementary = false;
};

int fourByteIndex(uint8_t b1, uint8_t b2, uint8_t b3, uint8_t b4, uint8_t firstLead) {
    return ((b1 - firstLead) * 10 + (b2 - 0x30)) * kFourByteGroup + (b3 - 0x81) * 10 + (b4 - 0x30);
}

// Asks ICU about one complete byte sequence.
class Prober {
public:
    explicit Prober(const char* name) {
        UErrorCode status = U_ZERO_ERROR;
        m_converter = ucnv_open(name, &status);
        if (U_FAILURE(status)) {
            m_converter = nullptr;
            return;
        }
        ucnv_setToUCallBack(m_converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                            &status);
    }
    ~Prober() {
        if (m_converter)
            ucnv_close(m_converter);
    }
    Prober(const Prober&) = delete;
    Prober& operator=(const Prober&) = delete;

    bool isOpen() const { return m_converter != nullptr; }

    // The table entry for `bytes` read on their own: a character, kMore when ICU wants more
    // bytes, kInvalid when it rejects them, kAskIcu for anything else.
    char16_t entry(const uint8_t* bytes, int length) {
        UChar units[4];
        const int count = decode(bytes, length, units, 4);
        if (count == kIncomplete)
            return kMore;
        if (count == kRejected)
            return kInvalid;
        if (count != 1 || units[0] >= kFirstMarker || (units[0] & 0xF800) == 0xD800)
            return kAskIcu;
        return units[0];
    }

    // Decodes a run of sequences; the number of units, kIncomplete or kRejected.
    int decode(const uint8_t* bytes, int length, UChar* units, int capacity) {
        ucnv_reset(m_converter);
        UErrorCode status = U_ZERO_ERROR;
        UChar* target = units;
        const char* source = reinterpret_cast<const char*>(bytes);
        ucnv_toUnicode(m_converter, &target, units + capacity, &source, source + length, nullptr,
                       true, &status);
        if (status == U_TRUNCATED_CHAR_FOUND)
            return kIncomplete;
        if (U_FAILURE(status))
            return kRejected;
        return static_cast<int>(target - units);
    }

    static constexpr int kIncomplete = -1;
    static constexpr int kRejected = -2;

private:
    UConverter* m_converter = nullptr;
};

void fillFourByteBmp(CjkTables& tables, Prober& prober) {
    tables.fourByteBmp.assign(size_t(kFourByteBmpLastLead - 0x81 + 1) * 10 * kFourByteGroup,
                              kAskIcu);
    std::vector<uint8_t> group(size_t(kFourByteGroup) * 4);
    std::vector<UChar> units(kFourByteGroup + 8);
    for (int b1 = 0x81; b1 <= kFourByteBmpLastLead; ++b1) {
        for (int b2 = 0x30; b2 <= 0x39; ++b2) {
            if (tables.pair[(b1 << 8) | b2] != kMore)
                continue;
            size_t at = 0;
            for (int b3 = 0x81; b3 <= 0xFE; ++b3) {
                for (int b4 = 0x30; b4 <= 0x39; ++b4) {
                    group[at++] = uint8_t(b1);
                    group[at++] = uint8_t(b2);
                    group[at++] = uint8_t(b3);
                    group[at++] = uint8_t(b4);
                }
            }
            const int base = fourByteIndex(b1, b2, 0x81, 0x30, 0x81);
            // Most groups decode whole, one unit per code; otherwise ask code by code.
            const int count =
                prober.decode(group.data(), int(group.size()), units.data(), int(units.size()));
            bool whole = count == kFourByteGroup;
            for (int i = 0; whole && i < kFourByteGroup; ++i)
                whole = units[i] < kFirstMarker && (units[i] & 0xF800) != 0xD800;
            for (int i = 0; i < kFourByteGroup; ++i)
                tables.fourByteBmp[base + i] = whole ? units[i] : prober.entry(&group[i * 4], 4);
        }
    }
}

char32_t linearSupplementary(uint8_t b1, uint8_t b2, uint8_t b3, uint8_t b4) {
    return 0x10000 + char32_t(fourByteIndex(b1, b2, b3, b4, 0x90));
}

// Checks ICU against the linear formula at its ends and across the range.
bool verifyLinearSupplementary(Prober& prober) {
    const std::array<std::array<uint8_t, 4>, 9> samples = {{{0x90, 0x30, 0x81, 0x30},
                                                            {0x90, 0x30, 0x81, 0x39},
                                                            {0x90, 0x39, 0xFE, 0x39},
                                                            {0xA3, 0x35, 0xC0, 0x34},
                                                            {0xB7, 0x31, 0x81, 0x30},
                                                            {0xCF, 0x38, 0xFE, 0x39},
                                                            {0xE3, 0x32, 0x9A, 0x35},
                                                            {0xE3, 0x31, 0xFE, 0x39},
                                                            {0xD0, 0x30, 0x81, 0x30}}};
    for (const auto& s : samples) {
        UChar units[4];
        if (prober.decode(s.data(), 4, units, 4) != 2)
            return false;
        const char32_t expected = linearSupplementary(s[0], s[1], s[2], s[3]);
        const char32_t got =
            0x10000 + ((char32_t(units[0]) - 0xD800) << 10) + (char32_t(units[1]) - 0xDC00);
        if (got != expected)
            return false;
    }
    const uint8_t pastEnd[4] = {0xE3, 0x32, 0x9A, 0x36};
    UChar units[4];
    return prober.decode(pastEnd, 4, units, 4) == Prober::kRejected;
}

CjkTables buildTables(IcuCharset charset) {
    CjkTables tables;
    Prober prober(icuConverterName(charset));
    if (!prober.isOpen()) {
        tables.single.fill(kAskIcu);
        return tables;
    }
    const bool gb18030 = charset == IcuCharset::Gb18030;
    for (int b = 0; b < 256; ++b) {
        const uint8_t byte = uint8_t(b);
        tables.single[b] = prober.entry(&byte, 1);
    }
    tables.asciiIdentity = true;
    for (int b = 0; b < 0x80; ++b)
        tables.asciiIdentity = tables.asciiIdentity && tables.single[b] == char16_t(b);
    for (int lead = 0; lead < 256; ++lead) {
        if (tables.single[lead] != kMore)
            continue;
        for (int trail = 0; trail < 256; ++trail) {
            const uint8_t bytes[2] = {uint8_t(lead), uint8_t(trail)};
            char16_t entry = prober.entry(bytes, 2);
            if (entry == kMore && !gb18030)
                entry = kAskIcu;
            tables.pair[(lead << 8) | trail] = entry;
        }
    }
    if (gb18030) {
        fillFourByteBmp(tables, prober);
        tables.linearSupplementary = verifyLinearSupplementary(prober);
    }
    return tables;
}

const CjkTables& tablesFor(IcuCharset charset) {
    switch (charset) {
    case IcuCharset::Gb18030: {
        static const CjkTables tables = buildTables(IcuCharset::Gb18030);
        return tables;
    }
    case IcuCharset::Big5: {
        static const CjkTables tables = buildTables(IcuCharset::Big5);
        return tables;
    }
    default: {
        static const CjkTables tables = buildTables(IcuCharset::ShiftJIS);
        return tables;
    }
    }
}

CjkTableDecodeResult verdict(char16_t marker) {
    return marker == kInvalid ? CjkTableDecodeResult::Invalid
                              : CjkTableDecodeResult::NeedsReference;
}

} // namespace

CjkTableDecodeResult decodeWithCjkTables(IcuCharset charset, QByteArrayView bytes, QString& out) {
    const CjkTables& t = tablesFor(charset);
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    const uint8_t* const end = p + bytes.size();
    // One byte never yields more than one unit; four bytes yield at most two.
    QString result(bytes.size(), Qt::Uninitialized);
    auto* const start = reinterpret_cast<char16_t*>(result.data());
    char16_t* d = start;
    while (p < end) {
        const uint8_t b1 = *p;
        if (b1 < 0x80 && t.asciiIdentity) {
            widenAsciiRun(p, end, d);
            continue;
        }
        char16_t unit = t.single[b1];
        if (unit < kFirstMarker) {
            *d++ = unit;
            ++p;
            continue;
        }
        if (unit != kMore)
            return verdict(unit);
        if (end - p < 2)
            return CjkTableDecodeResult::Invalid; // cut off at the end
        const uint8_t b2 = p[1];
        unit = t.pair[(b1 << 8) | b2];
        if (unit < kFirstMarker) {
            *d++ = unit;
            p += 2;
            continue;
        }
        if (unit != kMore)
            return verdict(unit);
        if (end - p < 4)
            return CjkTableDecodeResult::Invalid;
        const uint8_t b3 = p[2];
        const uint8_t b4 = p[3];
        if (b3 < 0x81 || b3 > 0xFE || b4 < 0x30 || b4 > 0x39)
            return CjkTableDecodeResult::NeedsReference;
        if (b1 <= kFourByteBmpLastLead) {
            unit = t.fourByteBmp[fourByteIndex(b1, b2, b3, b4, 0x81)];
            if (unit >= kFirstMarker)
                return verdict(unit);
            *d++ = unit;
        } else if (t.linearSupplementary && b1 >= 0x90 && b1 <= 0xE3) {
            const char32_t scalar = linearSupplementary(b1, b2, b3, b4);
            if (scalar > 0x10FFFF)
                return CjkTableDecodeResult::NeedsReference;
            *d++ = static_cast<char16_t>(0xD7C0 + (scalar >> 10));
            *d++ = static_cast<char16_t>(0xDC00 | (scalar & 0x3FF));
        } else {
            return CjkTableDecodeResult::NeedsReference;
        }
        p += 4;
    }
    result.resize(d - start);
    releaseUnusedCapacity(result);
    out = std::move(result);
    return CjkTableDecodeResult::Decoded;
}

} // namespace dunmoss
