#pragma once
// The desktop's list of recently used files (freedesktop's recently-used.xbel, which GTK's
// file dialogs and file managers read): trimlet's pictures are added to it, merged with
// everything other programs keep there.

#include <QDateTime>
#include <QString>
#include <string>

#include "base/result.h"

namespace trimlet {

// $XDG_DATA_HOME/recently-used.xbel, by default ~/.local/share/recently-used.xbel.
std::string recentlyUsedXbelPath();

// The bookmark's href for a local path: a file URI, every byte but the unreserved ones and
// '/' percent-encoded, so that names that are not UTF-8 survive.
QString fileUriOfPath(const std::string& path);

// The bookmarks kept, as GTK keeps them: the ones modified longest ago go beyond this.
inline constexpr int kMaxXbelBookmarks = 1000;

// Adds file (an absolute path) to the xbel at xbelPath, or refreshes its bookmark: its
// modified and visited times become when, its MIME type is set, trimlet's application entry
// counts one more. Other bookmarks, applications and groups stay. The file is replaced
// whole or not at all; a file that cannot be read or parsed as XBEL is left untouched and
// reported.
Status announceInXbel(const std::string& xbelPath, const std::string& file, const QDateTime& when);

}  // namespace trimlet
