// One settings-file read or write in a process of its own, for tests that need another
// process or another user:
//   profile_tool read PATH SECTION KEY DEFAULT    prints the value
//   profile_tool write PATH SECTION KEY VALUE     exits 1 with the reason when refused
#include <cstring>
#include <iostream>

#include "settings/profile_file.h"

int main(int argc, char** argv)
{
    if (argc != 6)
        return 2;
    trimlet::ProfileFile file(argv[2]);
    if (std::strcmp(argv[1], "read") == 0) {
        std::cout << file.readString(argv[3], argv[4], argv[5]) << '\n';
        return 0;
    }
    const trimlet::Status written = file.writeString(argv[3], argv[4], argv[5]);
    if (!written)
        std::cerr << written.error().message << '\n';
    return written ? 0 : 1;
}
