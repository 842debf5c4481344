#pragma once

#include <cstddef>

namespace dunmoss {

// Asks the kernel to back a large, freshly allocated and not yet written buffer with huge
// pages. Whole files are read, decoded and encoded into buffers of tens of megabytes: in 4 KiB
// pages, faulting them in costs more than the work done in them. Does nothing for small buffers
// or where the system does not offer huge pages.
void adviseHugePages(void* data, std::size_t size);

} // namespace dunmoss
