// Shell Link (.lnk) parsing and the mapping of its strings to local paths, off the disk.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "codecs/shell_link.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto link = trimlet::parseShellLink({data, size});
    if (!link)
        return 0;
    for (const std::string& path : trimlet::shortcutCandidates(*link, "/lnk/folder", "/wine"))
        if (path.empty() || path.find('\0') != std::string::npos)
            std::abort();  // a NUL would make the kernel open a different file than the one named
    return 0;
}
