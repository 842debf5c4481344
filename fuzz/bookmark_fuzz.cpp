// Bookmark data comes back from the settings file, which anyone can edit: resolving must reject
// anything malformed without crashing, and a resolved bookmark must round-trip.
#include "platform/Bookmark.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto resolved = dunmoss::resolveBookmark(bytes);
    if (resolved) {
        const auto again = dunmoss::resolveBookmark(dunmoss::makeBookmark(resolved->path));
        if (!again || again->path != resolved->path || again->isStale)
            std::abort();
    }
    return 0;
}
