#include "platform/FileNames.h"

#include <QFile>
#include <algorithm>

namespace dunmoss {

namespace {

// The length of the well-formed UTF-8 sequence at `at`, or 0 when none starts there.
qsizetype sequenceLength(QByteArrayView bytes, qsizetype at) {
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[at + i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    qsizetype length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0; // no overlong forms
        else if (lead == 0xED)
            high = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F; // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (at + length > bytes.size() || byte(1) < low || byte(1) > high)
        return 0;
    for (qsizetype i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    }
    return length;
}

} // namespace

bool isValidUtf8Name(QByteArrayView native) {
    // Most names are ASCII, and ASCII decodes and encodes back as it is: a folder walk asks
    // for every name it meets.
    if (std::all_of(native.begin(), native.end(), [](char c) { return uchar(c) < 0x80; }))
        return true;
    const QByteArray bytes = native.toByteArray();
    return QFile::encodeName(QFile::decodeName(bytes)) == bytes;
}

QString readableFileName(QByteArrayView native) {
    QString readable;
    readable.reserve(native.size());
    qsizetype at = 0;
    while (at < native.size()) {
        const qsizetype length = sequenceLength(native, at);
        if (length > 0) {
            readable += QString::fromUtf8(native.sliced(at, length));
            at += length;
        } else {
            const unsigned byte = static_cast<unsigned char>(native[at]);
            readable +=
                QStringLiteral("\\x") + QString::number(byte, 16).toUpper().rightJustified(2, u'0');
            ++at;
        }
    }
    return readable;
}

} // namespace dunmoss
