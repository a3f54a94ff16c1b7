#include "tools/tool_common.h"

namespace rivek::tool {
int RunCheck(const std::vector<std::string>&) { return kExitUsage; }
}  // namespace rivek::tool
