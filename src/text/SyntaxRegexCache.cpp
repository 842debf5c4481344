#include "text/SyntaxRegexCache.h"

#include <QHash>
#include <mutex>

namespace dunmoss {

namespace {

struct RegexCache {
    std::mutex lock;
    QHash<QString, IcuRegex> expressions;
};

RegexCache& regexCache() {
    static RegexCache cache;
    return cache;
}

} // namespace

QString regexCacheKey(const QString& pattern, IcuRegex::Options options) {
    return QString::number(options.toInt()) + QChar(0x0001) + pattern;
}

std::optional<IcuRegex> cachedRegex(const QString& pattern, IcuRegex::Options options) {
    const QString key = regexCacheKey(pattern, options);
    RegexCache& cache = regexCache();
    const std::lock_guard guard(cache.lock);
    if (const auto it = cache.expressions.constFind(key); it != cache.expressions.constEnd())
        return *it;
    try {
        IcuRegex compiled(pattern, options);
        cache.expressions.insert(key, compiled);
        return compiled;
    } catch (const RegexError&) {
        return std::nullopt;
    }
}

} // namespace dunmoss
