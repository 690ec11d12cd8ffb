#include "platform/Platform.h"

namespace platform {

namespace {
Platform g_platform;
}

Platform& current() { return g_platform; }
void install(const Platform& platform) { g_platform = platform; }

} // namespace platform
