#pragma once

#include <QThreadPool>
#include <utility>

namespace dunmoss {

// Lets go of a value on a pool thread: freeing a list of a hundred thousand results takes the
// main thread tens of milliseconds. Only for values whose parts are shared through atomic
// counts (Qt's implicitly shared types) or not shared at all.
template <typename T> void releaseAside(T value) {
    QThreadPool::globalInstance()->start(
        [held = std::move(value)]() mutable { T gone = std::move(held); });
}

} // namespace dunmoss
