#pragma once
// Every key of the settings files, with its section and default, in one place.

namespace trimlet::keys {

struct IntKey {
    const char* section;
    const char* key;
    int defaultValue;
};

struct StringKey {
    const char* section;
    const char* key;
};

// A section whose keys are names the user gives.
struct Section {
    const char* name;
};

// The program's own file, in the order they are read and written. main_x and main_y have
// no fixed default: the window is centred on the screen. They are the frame's corner, and
// main_w and main_h the size without the frame; a window closed maximised keeps the size
// and place it had before, and main_max says that it comes back maximised.
inline constexpr IntKey mainW{"winPosition", "main_w", 640};
inline constexpr IntKey mainH{"winPosition", "main_h", 480};
inline constexpr IntKey mainX{"winPosition", "main_x", 0};
inline constexpr IntKey mainY{"winPosition", "main_y", 0};
inline constexpr IntKey mainMax{"winPosition", "main_max", 0};
inline constexpr IntKey prevW{"winPosition", "prev_w", 480};
inline constexpr IntKey prevH{"winPosition", "prev_h", 360};
inline constexpr IntKey power{"size", "power", 100};
inline constexpr IntKey quality{"jpeg", "quality", 90};
inline constexpr IntKey width{"size", "width", 640};
inline constexpr IntKey height{"size", "height", 640};
// 1 gives every picture the rate at which the cut takes its full size (the 自動 box); 0 keeps the rate.
inline constexpr IntKey fit{"size", "fit", 0};
inline constexpr IntKey format{"output", "format", 0};
inline constexpr IntKey tail{"output", "tail", 0};
// 1 copies the pieces of a JPEG from its blocks (the 無劣化 box) where they can be; 0 encodes them.
inline constexpr IntKey lossless{"output", "lossless", 0};
// The size limit of saved files in kB (1024 bytes); 0 for none.
inline constexpr IntKey maxKb{"output", "max_kb", 0};
inline constexpr IntKey topBottom{"concat", "topbottom", 2};
inline constexpr IntKey leftRight{"concat", "leftright", 2};
inline constexpr IntKey bgColor{"concat", "bgcolor", 0xFFFFFF};
// 0 keeps loaded pictures' colours as stored; anything else converts ICC profiles to sRGB.
// No control sets it: it is read at the start and written back as it was.
inline constexpr IntKey colorManagement{"load", "color_management", 1};
// 1 shows a camera raw's embedded full-size preview instead of developing it. Only ever read,
// so the file keeps whatever the user wrote.
inline constexpr IntKey rawPreview{"load", "raw_preview", 0};

// The last picture saved from the preview window.
inline constexpr StringKey outputPath{"output", "path"};
// The folder serial saves go to, as the file system's bytes; empty for beside the picture.
inline constexpr StringKey outputFolder{"output", "folder"};

// The cut sets, one key a set: its UTF-8 name = its sizes, or its span's screens and bezel.
inline constexpr Section cutSets{"sets"};
// The pictures last opened, newest first: keys 1 to 10, each a path with unsafe bytes as %XX.
inline constexpr Section recentFiles{"recent"};

// The sibling program's file, used only when it exists.
inline constexpr IntKey siblingQuality{"jpeg", "quality", 90};
inline constexpr IntKey siblingWidth{"size", "width", 320};
inline constexpr IntKey siblingHeight{"size", "height", 240};

}  // namespace trimlet::keys
