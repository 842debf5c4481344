#include "app/ApplicationActions.h"

namespace dunmoss {

std::function<void()>& openSettingsAction() {
    static std::function<void()> action;
    return action;
}

std::function<void()>& checkForUpdatesAction() {
    static std::function<void()> action;
    return action;
}

} // namespace dunmoss
