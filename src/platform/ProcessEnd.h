#pragma once

namespace dunmoss {

// The program's last step, once what it keeps (the session, the settings) is on disk.
//
// Background work still running then would read what main's return frees (the application
// object, the statics), and the pools' own destructors would wait for it without a bound (a
// folder search on a mount that stopped answering never ends). So the work pools and the global
// one get `boundMs` in all to run dry: when they have, `status` comes back for main to return, and
// everything goes in order; when they have not, the process ends here with `status`, its output
// flushed and no destructor run, since nothing of the work is needed.
[[nodiscard]] int endProcess(int status, int boundMs);

} // namespace dunmoss
