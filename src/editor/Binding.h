#pragma once

#include "platform/TextRange.h"

#include <QList>
#include <QString>
#include <functional>

namespace dunmoss {

// A two-way connection to one value owned elsewhere (a tab's text or selection in the window's
// state). Reading an unset binding gives the value's default; writing one does nothing.
template <typename T> struct Binding {
    std::function<T()> get;
    std::function<void(const T&)> set;

    T value() const { return get ? get() : T{}; }
    void write(const T& v) const {
        if (set)
            set(v);
    }
    explicit operator bool() const { return bool(get) || bool(set); }
};

using TextBinding = Binding<QString>;
using RangeBinding = Binding<TextRange>;
using RangesBinding = Binding<QList<TextRange>>;

} // namespace dunmoss
