#pragma once
// "Let pending window messages run": batch loops call pumpEvents() between
// files. The desktop program installs a hook that processes Qt events; outside
// the GUI it does nothing.
#include <functional>

namespace platform {

void setEventPump(std::function<void()> pump);
void pumpEvents();

}  // namespace platform
