#include "codecs/shell_link.h"

namespace trimlet {

std::string resolveShortcut(const std::string&) { return {}; }
std::string expandToLongPath(const std::string&) { return {}; }

}  // namespace trimlet
