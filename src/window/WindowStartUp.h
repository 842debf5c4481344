#pragma once

namespace dunmoss {

class EditorWindowModel;

// The window's preparation when it is first shown, in this order: the session (or the newer
// recovery snapshot) once, the workspace folder once, the find histories and the search-center
// runs, then a repair of the active tab, always-on-top for the editor windows and the
// maintenance loop. Under the interface-testing flag nothing is restored and no maintenance
// runs. The window publishes its commands and runs a waiting menu command after this.
void prepareWindowOnAppear(EditorWindowModel& model);

} // namespace dunmoss
