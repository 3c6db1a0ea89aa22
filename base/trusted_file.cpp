#include "base/trusted_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>
#include <vector>

namespace trimlet {

namespace {

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor& operator=(Descriptor&& other) noexcept
    {
        std::swap(fd_, other.fd_);
        return *this;
    }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

// Why the entry (the file when last, else a folder on its way) could have been written or
// replaced by someone other than root and us; empty when it could not.
//
// A folder that others may write is refused unless it is sticky: in a sticky folder (as /tmp)
// only an entry's owner, the folder's owner and root may rename or remove the entry, and every
// entry taken here must itself be ours or root's, so nobody else can have put it there or
// swapped it; what others add to such a folder is refused by its owner when it is taken.
std::string distrust(const struct stat& entry, bool last)
{
    if (S_ISLNK(entry.st_mode))
        return " is a symbolic link";
    if (last ? !S_ISREG(entry.st_mode) : !S_ISDIR(entry.st_mode))
        return last ? " is not a regular file" : " is not a folder";
    if (entry.st_uid != 0 && entry.st_uid != ::geteuid())
        return " belongs to another user";
    if ((entry.st_mode & (S_IWGRP | S_IWOTH)) && (last || !(entry.st_mode & S_ISVTX)))
        return " is writable by others";
    return {};
}

}  // namespace

Result<int> openTrustedFile(const std::string& path)
{
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(path, error).lexically_normal();
    if (error)
        return makeError(ErrorCode::Io, path + ": the working folder is unknown");
    std::vector<std::string> names;
    for (const auto& name : full.relative_path())
        names.push_back(name.string());
    const std::string file = full.string();
    // lexically_normal leaves only a leading "..", which at / is / itself.
    while (!names.empty() && names.front() == "..")
        names.erase(names.begin());
    if (names.empty() || names.back().empty() || names.back() == "." || names.back() == "..")
        return makeError(ErrorCode::Io, file + " is not a regular file");

    Descriptor at(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct stat entry {};
    if (at.get() < 0 || ::fstat(at.get(), &entry) != 0)
        return makeError(ErrorCode::Io, file + ": / cannot be opened");
    if (const std::string why = distrust(entry, false); !why.empty())
        return makeError(ErrorCode::Io, file + ": the folder /" + why);
    std::string reached;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const bool last = i + 1 == names.size();
        reached += "/" + names[i];
        Descriptor next(::openat(at.get(), names[i].c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        if (next.get() < 0 || ::fstat(next.get(), &entry) != 0) {
            const int cause = errno;
            return makeError(ErrorCode::Io,
                             file + ": " + (cause == ENOENT ? std::string("no such file") : std::strerror(cause)));
        }
        if (const std::string why = distrust(entry, last); !why.empty())
            return makeError(ErrorCode::Io, last ? file + why : file + ": the folder " + reached + why);
        at = std::move(next);
    }
    return at.release();
}

}  // namespace trimlet
