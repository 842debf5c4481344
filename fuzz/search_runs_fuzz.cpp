// The stored search-center runs are read back from their file, which anything can edit.
// Decoding must refuse what is malformed without crashing, and what it accepts must encode and
// decode to the same runs.
#include "search/SearchCenterRunCodec.h"

#include <cstdint>
#include <cstdlib>

using namespace dunmoss;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<QList<SearchCenterRun>> runs = decodeSearchCenterRuns(bytes);
    if (!runs)
        return 0;
    const std::optional<QList<SearchCenterRun>> again =
        decodeSearchCenterRuns(encodeSearchCenterRuns(*runs));
    if (!again || *again != *runs)
        std::abort();
    return 0;
}
