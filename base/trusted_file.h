// Files that only root and the running user can have put in place, for code the program loads.
#pragma once

#include <string>

#include "base/result.h"

namespace trimlet {

// Opens path (made absolute from the working folder when relative) as an O_PATH descriptor,
// close-on-exec, only when nobody but root and the effective user can have written it or
// replaced it: a regular file owned by one of them without group or other write, reached
// from / through folders owned by one of them that no one else may write (or that are sticky,
// where the entry taken is ours or root's), and no symbolic link on the way. Each folder is
// opened from the one above it, so the file checked is the file returned. The caller closes
// the descriptor. Io naming the path and the reason otherwise.
Result<int> openTrustedFile(const std::string& path);

}  // namespace trimlet
