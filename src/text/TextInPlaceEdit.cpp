#include "text/TextInPlaceEdit.h"

#include <algorithm>
#include <cstring>

namespace dunmoss {

namespace {

bool pointsInto(QStringView view, const QString& text) {
    const QChar* begin = text.constData();
    return !view.isEmpty() && view.data() >= begin && view.data() < begin + text.size();
}

} // namespace

QString concatenatedWithRoom(QStringView head, QStringView middle, QStringView tail,
                             qsizetype room) {
    const qsizetype size = head.size() + middle.size() + tail.size();
    room = std::max<qsizetype>(room, 0);
    // Filled behind `room` unused characters that are then dropped from the front: dropping a
    // start only moves where the string begins, so they stay free before it.
    QString result(room + size + room, Qt::Uninitialized);
    QChar* out = result.data() + room;
    out = std::copy(head.begin(), head.end(), out);
    out = std::copy(middle.begin(), middle.end(), out);
    std::copy(tail.begin(), tail.end(), out);
    result.truncate(room + size);
    result.remove(0, room);
    return result;
}

void replaceInPlace(QString& text, qsizetype position, qsizetype length, QStringView replacement) {
    Q_ASSERT(position >= 0 && length >= 0 && position + length <= text.size());
    const qsizetype after = text.size() - position - length;
    const qsizetype growth = replacement.size() - length;
    if (!text.isDetached() && !text.isEmpty()) {
        const QStringView whole(text);
        text = concatenatedWithRoom(whole.first(position), replacement,
                                    whole.sliced(position + length), text.size() / 16 + 64);
        return;
    }
    if (growth == 0 || position >= after || pointsInto(replacement, text)) {
        text.replace(position, length, replacement.data(), replacement.size());
        return;
    }
    if (growth > 0) {
        // Room before the text (kept by the string once it has some) takes the characters
        // before the edit, moved forward by the growth.
        text.insert(0, replacement.first(growth));
        QChar* data = text.data();
        std::memmove(data, data + growth, size_t(position) * sizeof(QChar));
        std::copy(replacement.begin(), replacement.end(), data + position);
        return;
    }
    const qsizetype shrink = -growth;
    QChar* data = text.data();
    std::memmove(data + shrink, data, size_t(position) * sizeof(QChar));
    std::copy(replacement.begin(), replacement.end(), data + shrink + position);
    text.remove(0, shrink);
}

} // namespace dunmoss
