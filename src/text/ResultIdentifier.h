#pragma once

#include <QUuid>

namespace dunmoss {

// A new random (version 4) identifier for a search result or a compare row. Drawn from a
// per-thread generator seeded once from the system, since asking the system for every one of
// hundreds of thousands of results would dominate the search time.
QUuid newResultIdentifier();

} // namespace dunmoss
