#pragma once
// What the codecs are made of, for the version window.

#include <string>
#include <vector>

namespace trimlet {

struct LibraryVersion {
    std::string name;
    std::string version;  // empty where the library tells none
};

// The picture and colour libraries linked in, each with the version it reports when it runs,
// or, where it has no such call, the one it was built against.
std::vector<LibraryVersion> codecLibraries();

}  // namespace trimlet
