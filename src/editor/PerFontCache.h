#pragma once

#include <QFont>
#include <QHash>
#include <QMutex>
#include <QString>

namespace dunmoss {

// A value found once per font (by its key) and kept for the program's life. Documents are filled
// and laid out on pool threads too, so lookups are locked; the value is found outside the lock.
template <typename Value> class PerFontCache {
public:
    template <typename Find> Value get(const QFont& font, Find find) {
        const QString key = font.key();
        {
            const QMutexLocker lock(&m_mutex);
            const auto found = m_known.constFind(key);
            if (found != m_known.constEnd())
                return *found;
        }
        const Value value = find(font);
        const QMutexLocker lock(&m_mutex);
        m_known.insert(key, value);
        return value;
    }

private:
    QMutex m_mutex;
    QHash<QString, Value> m_known;
};

} // namespace dunmoss
