#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace dunmoss {

// One answer of ICU's statistical charset detector: its own charset name ("GB18030", "Big5",
// "Shift_JIS", "EUC-KR", "ISO-2022-JP", ...) and its confidence, 1 to 100.
struct CharsetMatch {
    QString name;
    int confidence = 0;
};

// Every charset the detector finds with some confidence, the most confident first. Thread-safe
// (one detector per call).
QList<CharsetMatch> detectCharsets(QByteArrayView bytes);

// The detector asked to choose only among given charsets, named as it names them. Returns the
// index in `allowedCharsets` of the most confident match it reports among them, or nothing when
// it reports none of them with any confidence.
std::optional<qsizetype> detectCharsetAmong(QByteArrayView bytes,
                                            const QStringList& allowedCharsets);

} // namespace dunmoss
