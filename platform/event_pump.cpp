#include "platform/event_pump.h"

#include <utility>

namespace platform {

namespace {
std::function<void()>& pumpHook()
{
    static std::function<void()> hook;
    return hook;
}
}  // namespace

void setEventPump(std::function<void()> pump)
{
    pumpHook() = std::move(pump);
}

void pumpEvents()
{
    if (pumpHook())
        pumpHook()();
}

}  // namespace platform
