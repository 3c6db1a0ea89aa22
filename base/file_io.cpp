#include "base/file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace trimlet {

namespace {

IoCause causeOf(int err)
{
    switch (err) {
    case ENOSPC:
    case EDQUOT: return IoCause::DiskFull;
    case EACCES:
    case EPERM:
    case EROFS: return IoCause::NotAllowed;
    case ENAMETOOLONG: return IoCause::NameTooLong;
    case ENOENT: return IoCause::NoFolder;
    default: return IoCause::Unknown;
    }
}

Error ioError(const std::string& what, const std::string& path, int err)
{
    Error error =
        makeError(err == EEXIST ? ErrorCode::Exists : ErrorCode::Io, what + " " + path + ": " + std::strerror(err));
    error.cause = causeOf(err);
    return error;
}

struct Fd {
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
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

mode_t currentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// Read and write bits only: a picture or settings file is never a program.
mode_t newFileMode(const std::string& path, FileAccess access)
{
    if (access == FileAccess::OwnerOnly)
        return 0600;
    const mode_t allowed = 0666 & ~currentUmask();
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        return st.st_mode & allowed;
    return allowed;
}

struct Target {
    std::string dir;  // ends with '/'
    std::string name;
};

Target splitTarget(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return {"./", path};
    return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

bool isTemporaryName(const char* name)
{
    constexpr std::size_t prefix = sizeof kTemporaryPrefix - 1;
    if (std::strncmp(name, kTemporaryPrefix, prefix) != 0 || std::strlen(name) != prefix + 6)
        return false;
    for (const char* p = name + prefix; *p; ++p)
        if (!((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z') || (*p >= '0' && *p <= '9')))
            return false;
    return true;
}

// Temporaries of ours that a crash or kill left behind. A day's age keeps a save still
// running in another process safe.
void removeStaleTemporaries(const std::string& dir)
{
    const std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(dir.c_str()), ::closedir);
    if (!d)
        return;
    const std::time_t dayAgo = std::time(nullptr) - 24 * 60 * 60;
    const uid_t me = ::geteuid();
    while (const dirent* e = ::readdir(d.get())) {
        if (!isTemporaryName(e->d_name))
            continue;
        struct stat st {};
        if (::fstatat(::dirfd(d.get()), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
            st.st_uid == me && st.st_mtime < dayAgo)
            ::unlinkat(::dirfd(d.get()), e->d_name, 0);
    }
}

// A short hidden name in dir, opened for writing: the target's own name may already fill
// the file system's limit.
int createNamedTemporary(const std::string& dir, std::string& tmp)
{
    removeStaleTemporaries(dir);
    tmp = dir + kTemporaryPrefix + "XXXXXX";
    return ::mkostemp(tmp.data(), O_CLOEXEC);
}

// Fills the open file and makes it durable with its final mode; 0 or an errno.
int fill(int fd, Bytes bytes, mode_t mode)
{
    if (!writeAll(fd, bytes.data(), bytes.size()) || ::fchmod(fd, mode) != 0 || ::fsync(fd) != 0)
        return errno;
    return 0;
}

void syncFolder(const std::string& dir)
{
    Fd d{::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (d.fd >= 0)
        ::fsync(d.fd);  // best effort: the file itself is already durable
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

Status writeThroughNamedTemporary(const std::string& path, const Target& t, Bytes bytes, const WriteOptions& o)
{
    std::string tmp;
    Fd f{createNamedTemporary(t.dir, tmp)};
    if (f.fd < 0)
        return ioError("cannot write in the folder of", path, errno);
    int err = fill(f.fd, bytes, newFileMode(path, o.access));
    if (::close(f.fd) != 0 && !err)
        err = errno;
    f.fd = -1;
    if (!err)
        err = moveIntoPlace(tmp, path, o.mode);
    if (err) {
        ::unlink(tmp.c_str());
        return ioError("cannot write", path, err);
    }
    syncFolder(t.dir);
    return {};
}

enum class Linked { Done, Failed, Unavailable };

// Gives the nameless file fd its name. Unavailable when this system cannot link it (no /proc):
// the caller writes through a named temporary instead.
Linked linkNameless(int fd, const std::string& path, const Target& t, WriteMode mode, int& err)
{
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return Linked::Done;
    err = errno;
    if (err != EEXIST)
        return err == ENOENT || err == EXDEV || err == EPERM || err == EOPNOTSUPP ? Linked::Unavailable
                                                                                  : Linked::Failed;
    if (mode == WriteMode::NoReplace)
        return Linked::Failed;
    // Replacing: a link cannot overwrite, so the complete file gets a short name to rename.
    removeStaleTemporaries(t.dir);
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string tmp = t.dir + kTemporaryPrefix + "XXXXXX";
        Fd probe{::mkostemp(tmp.data(), O_CLOEXEC)};  // reserves a fresh name for the link
        if (probe.fd < 0)
            return (err = errno), Linked::Failed;
        ::unlink(tmp.c_str());
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, tmp.c_str(), AT_SYMLINK_FOLLOW) != 0) {
            err = errno;
            if (err == EEXIST)
                continue;
            return Linked::Failed;
        }
        if (::rename(tmp.c_str(), path.c_str()) == 0)
            return Linked::Done;
        err = errno;
        ::unlink(tmp.c_str());
        return Linked::Failed;
    }
    return Linked::Failed;
}

}  // namespace

RegularFile& RegularFile::operator=(RegularFile&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.fd_;
        size_ = other.size_;
        stamp_ = other.stamp_;
        other.fd_ = -1;
    }
    return *this;
}

RegularFile::~RegularFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

Result<RegularFile> RegularFile::open(const std::string& path)
{
    // Devices are refused before they are opened at all: opening some of them does something
    // (a watchdog starts, a tape rewinds).
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return makeError(ErrorCode::Io, "not a regular file: " + path);
    // Non-blocking, so that a FIFO put under the name meanwhile cannot hold us; no controlling
    // terminal from a tty. fstat then refuses anything but a regular file.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return ioError("cannot open", path, errno);
    RegularFile file(fd, 0);
    if (::fstat(fd, &st) != 0)
        return ioError("cannot read", path, errno);
    if (!S_ISREG(st.st_mode))
        return makeError(ErrorCode::Io, "not a regular file: " + path);
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    file.size_ = std::uint64_t(st.st_size);
    file.stamp_ = {std::uint64_t(st.st_dev), std::uint64_t(st.st_ino), file.size_,
                   std::int64_t(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
    return file;
}

Result<std::vector<std::uint8_t>> RegularFile::readAt(std::uint64_t offset, std::size_t count) const
{
    std::vector<std::uint8_t> bytes(count);
    std::size_t got = 0;
    while (got < count) {
        const ssize_t r = ::pread(fd_, bytes.data() + got, count - got, off_t(offset + got));
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return makeError(ErrorCode::Io, std::string("cannot read: ") + std::strerror(errno));
        if (r == 0)
            break;  // shrank while we read: take what is there
        got += std::size_t(r);
    }
    bytes.resize(got);
    return bytes;
}

Result<std::vector<std::uint8_t>> readFileBytes(const std::string& path, std::uint64_t maxBytes)
{
    auto file = RegularFile::open(path);
    if (!file)
        return file.error();
    if (file.value().size() > maxBytes)
        return makeError(ErrorCode::TooLarge, "file too large: " + path);
    auto bytes = file.value().readAt(0, std::size_t(file.value().size()));
    if (!bytes)
        return makeError(ErrorCode::Io, bytes.error().message + " " + path);
    return bytes;
}

Status writeFileAtomic(const std::string& path, Bytes bytes, const WriteOptions& options)
{
    const Target t = splitTarget(path);
    if (t.name.empty())
        return makeError(ErrorCode::Invalid, "no file name: " + path);
    if (options.namelessTemporary) {
        Fd f{::open(t.dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600)};
        if (f.fd >= 0) {
            int err = fill(f.fd, bytes, newFileMode(path, options.access));
            const Linked linked = err ? Linked::Failed : linkNameless(f.fd, path, t, options.mode, err);
            if (linked == Linked::Done) {
                syncFolder(t.dir);
                return {};
            }
            if (linked == Linked::Failed)
                return ioError("cannot write", path, err);
        } else if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            return ioError("cannot write in the folder of", path, errno);
        }
    }
    return writeThroughNamedTemporary(path, t, bytes, options);
}

Status writeFileAtomic(const std::string& path, Bytes bytes, WriteMode mode)
{
    return writeFileAtomic(path, bytes, WriteOptions{mode});
}

}  // namespace trimlet
