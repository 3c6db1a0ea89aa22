#pragma once
// What the main window's file commands ask of the file system: shortcuts, the open dialog,
// the folder button's folder and the files of a drop. Paths are the file system's bytes.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "codecs/bitmap.h"
#include "forms/main/status_kind.h"
#include "platform/desktop.h"

class QDropEvent;
class QMimeData;
class QString;
class QWidget;

namespace trimlet {

// The file a name stands for: a ".lnk" shortcut's target as a full path (empty when it
// cannot be resolved), any other name as it is.
std::string resolvePictureShortcut(const std::string& requested);

// The open dialog for pictures: it starts in the folder of the last saved picture while that
// exists, else in the default picture folder, and first shows every picture it can read.
FileDialogRequest openPictureRequest(const std::string& lastSaved);

// The folder button's folder: the document's, else the last saved picture's, else the default.
std::string folderToOpen(const std::string& document, const std::string& lastSaved);

// Shows the folder in the file manager; a box says so when it is missing or cannot be shown.
void openFolder(QWidget* parent, const std::string& folder);

// Files are only ever read: a drop of files is taken as a copy, whatever the source proposed,
// so that no file manager deletes the user's file after a "move" onto the window. False,
// and the event untouched, when the drag carries no files or cannot be a copy.
bool acceptFilesAsCopy(QDropEvent* event);
// The local files among the data's URLs, in order.
std::vector<std::string> droppedFiles(const QMimeData& data);

// Warns of a picture of more than 10 megapixels on the status line and, while askAgain, in a box
// that asks whether to warn again (the answer goes into askAgain).
void warnOfLargePicture(QWidget* parent, std::int64_t pixels, bool& askAgain,
                        const std::function<void(const QString&)>& status);

// The clipboard's picture for 貼り付け; empty, after status has said why, when it holds none or
// it cannot be read.
Bitmap pastedPicture(const std::function<void(const QString&, StatusKind)>& status);

}  // namespace trimlet
