#pragma once
// File names as the file system's bytes, taken apart and made absolute without decoding them:
// a name that is not UTF-8 must still name its file.

#include <string>
#include <vector>

namespace trimlet {

// The name after the last '/', and what comes before it ("/" for a file in the root).
std::string fileNamePart(const std::string& path);
std::string folderPart(const std::string& path);

// The path made absolute against the working folder, "." and ".." removed by name as Qt does.
std::string absoluteLocalPath(const std::string& path);

// The path split at every '/', empty components kept, so that joining them with '/' gives the
// path back.
std::vector<std::string> pathComponents(const std::string& path);

}  // namespace trimlet
