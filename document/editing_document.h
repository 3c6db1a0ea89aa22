#pragma once
// The editing document: the picture being edited, the file it came from, and whether it has
// been edited since it was loaded (what a load of another picture would discard).

#include <string>

#include "codecs/picture.h"

namespace trimlet {

struct EditingDocument {
    Picture picture;   // an unedited photo keeps its kind and file bytes
    std::string path;  // the file's path as bytes; empty for a pasted picture
    bool edited = false;
};

}  // namespace trimlet
