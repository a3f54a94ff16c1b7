#include "tools/tool_common.h"

namespace rivek::tool {
int RunTiming(const std::vector<std::string>&) { return kExitUsage; }
int RunWave(const std::vector<std::string>&) { return kExitUsage; }
}  // namespace rivek::tool
