#include "platform/ByteCountFormatter.h"

#include "platform/Localization.h"

namespace dunmoss {

namespace {

struct Unit {
    const char* key;
    int fractionDigits;
};

// Index i stands for 1000^i bytes.
constexpr Unit kUnits[] = {
    {lkey("byte-count.bytes.format"), 0}, {lkey("byte-count.kb.format"), 0},
    {lkey("byte-count.mb.format"), 1},    {lkey("byte-count.gb.format"), 2},
    {lkey("byte-count.tb.format"), 2},    {lkey("byte-count.pb.format"), 2},
    {lkey("byte-count.eb.format"), 2},
};
constexpr int kUnitCount = sizeof kUnits / sizeof kUnits[0];

unsigned __int128 power(unsigned __int128 base, int exponent) {
    unsigned __int128 result = 1;
    for (int i = 0; i < exponent; ++i)
        result *= base;
    return result;
}

// The magnitude in the unit, rounded half up to the unit's digits, as text without trailing
// zeros.
QString scaledNumber(quint64 magnitude, int unit, int fractionDigits) {
    const unsigned __int128 divisor = power(1000, unit);
    const unsigned __int128 scale = power(10, fractionDigits);
    const unsigned __int128 scaled = (magnitude * scale + divisor / 2) / divisor;
    const quint64 whole = static_cast<quint64>(scaled / scale);
    quint64 fraction = static_cast<quint64>(scaled % scale);
    QString text = QString::number(whole);
    if (fraction == 0)
        return text;
    QString digits = QString::number(fraction).rightJustified(fractionDigits, QLatin1Char('0'));
    while (digits.endsWith(QLatin1Char('0')))
        digits.chop(1);
    return text + QLatin1Char('.') + digits;
}

bool roundsToNextUnit(quint64 magnitude, int unit) {
    const int digits = kUnits[unit].fractionDigits;
    const unsigned __int128 divisor = power(1000, unit);
    const unsigned __int128 scale = power(10, digits);
    const unsigned __int128 scaled = (magnitude * scale + divisor / 2) / divisor;
    return scaled >= 1000 * scale;
}

} // namespace

QString formatFileByteCount(qint64 byteCount,
                            const std::function<QString(const QString&)>& localizer) {
    if (byteCount == 0)
        return localizer(QString::fromLatin1(lkey("byte-count.zero")));
    const bool negative = byteCount < 0;
    // Unsigned so the most negative value has a magnitude too.
    const quint64 magnitude =
        negative ? quint64(0) - static_cast<quint64>(byteCount) : static_cast<quint64>(byteCount);
    const QString sign = negative ? QStringLiteral("-") : QString();

    if (magnitude < 1000) {
        const QString key = magnitude == 1 ? QString::fromLatin1(lkey("byte-count.byte.format"))
                                           : QString::fromLatin1(kUnits[0].key);
        return localizer(key).arg(sign + QString::number(magnitude));
    }
    int unit = 1;
    while (unit + 1 < kUnitCount && magnitude >= static_cast<quint64>(power(1000, unit + 1)))
        ++unit;
    // 999,999 bytes are "1 MB", not "1000 KB".
    if (unit + 1 < kUnitCount && roundsToNextUnit(magnitude, unit))
        ++unit;
    const QString number = scaledNumber(magnitude, unit, kUnits[unit].fractionDigits);
    return localizer(QString::fromLatin1(kUnits[unit].key)).arg(sign + number);
}

QString formatFileByteCount(qint64 byteCount) {
    return formatFileByteCount(byteCount, [](const QString& key) { return localizedString(key); });
}

} // namespace dunmoss
