#include "qt/command_guard.h"

#include "platform/prompter.h"

namespace app {

void showApplicationError(const std::exception& error)
{
    platform::prompter().message(error.what(), platform::kApplicationTitle, platform::MessageIcon::Error);
}

bool runCommand(const std::function<void()>& command)
{
    try {
        command();
        return true;
    } catch (const std::exception& error) {
        showApplicationError(error);
    } catch (...) {
        platform::prompter().message("Unknown error", platform::kApplicationTitle, platform::MessageIcon::Error);
    }
    return false;
}

}  // namespace app
