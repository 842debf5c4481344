#pragma once

namespace dunmoss {

// Qt's raster paint engine splits a large fill or image conversion across the threads of the
// global thread pool and waits for them. Work of ours that runs long on that pool (a long line
// broken into lines, files read and their documents filled, a search) would keep a paint of the
// window waiting until the work ends, for hundreds of milliseconds on a busy machine. Called
// once at start, before any work is started: the pool may then start this many threads beyond
// one per core, which our work leaves to the paint engine unless more of it runs at once.
inline constexpr int kThreadsLeftForPainting = 2;
void leaveThreadsForPainting();

} // namespace dunmoss
