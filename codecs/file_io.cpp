#include "codecs/file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace trimlet {

namespace {

Error ioError(const std::string& what, const std::string& path, int err)
{
    return makeError(err == EEXIST ? ErrorCode::Exists : ErrorCode::Io, what + " " + path + ": " + std::strerror(err));
}

struct Fd {
    int fd = -1;
    ~Fd() { if (fd >= 0) ::close(fd); }
};

bool writeAll(int fd, const std::uint8_t* p, std::size_t n)
{
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += w;
        n -= std::size_t(w);
    }
    return true;
}

mode_t newFileMode(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        return st.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Moves tmp onto path; with NoReplace an existing path wins and the move fails with EEXIST.
int moveIntoPlace(const std::string& tmp, const std::string& path, WriteMode mode)
{
    if (mode == WriteMode::Replace)
        return ::rename(tmp.c_str(), path.c_str()) == 0 ? 0 : errno;
    if (::renameat2(AT_FDCWD, tmp.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // File systems without RENAME_NOREPLACE: link() refuses an existing name just as well.
    if (::link(tmp.c_str(), path.c_str()) != 0)
        return errno;
    ::unlink(tmp.c_str());
    return 0;
}

}  // namespace

Result<std::vector<std::uint8_t>> readFileBytes(const std::string& path, std::uint64_t maxBytes)
{
    Fd f{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    if (f.fd < 0)
        return ioError("cannot open", path, errno);
    struct stat st {};
    if (::fstat(f.fd, &st) != 0)
        return ioError("cannot read", path, errno);
    if (!S_ISREG(st.st_mode))
        return makeError(ErrorCode::Io, "not a regular file: " + path);
    if (std::uint64_t(st.st_size) > maxBytes)
        return makeError(ErrorCode::TooLarge, "file too large: " + path);

    std::vector<std::uint8_t> bytes(std::size_t(st.st_size));
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t r = ::read(f.fd, bytes.data() + got, bytes.size() - got);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return ioError("cannot read", path, errno);
        if (r == 0)
            break;  // shrank while we read: take what is there
        got += std::size_t(r);
    }
    bytes.resize(got);
    return bytes;
}

Status writeFileAtomic(const std::string& path, Bytes bytes, WriteMode mode)
{
    const auto slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty())
        return makeError(ErrorCode::Invalid, "no file name: " + path);

    std::string tmp = dir + (dir.back() == '/' ? "" : "/") + "." + name + ".XXXXXX";
    Fd f{::mkostemp(tmp.data(), O_CLOEXEC)};
    if (f.fd < 0)
        return ioError("cannot write in the folder of", path, errno);

    int err = 0;
    if (!writeAll(f.fd, bytes.data(), bytes.size()) || ::fchmod(f.fd, newFileMode(path)) != 0 || ::fsync(f.fd) != 0)
        err = errno;
    if (::close(f.fd) != 0 && !err)
        err = errno;
    f.fd = -1;
    if (!err)
        err = moveIntoPlace(tmp, path, mode);
    if (err) {
        ::unlink(tmp.c_str());
        return ioError("cannot write", path, err);
    }
    return {};
}

}  // namespace trimlet
