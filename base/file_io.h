#pragma once
// Whole-file reads and all-or-nothing writes.

#include <cstdint>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "base/result.h"

namespace trimlet {

// An open regular file. Opening never waits: a FIFO, socket, device or folder under the name
// is refused (Io) without blocking on it.
// Which file a name led to, and how it stood: the same stamp later means the same bytes,
// short of a write that restores the change time.
struct FileStamp {
    std::uint64_t device = 0, inode = 0, size = 0;
    std::int64_t changedNs = 0;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

class RegularFile {
public:
    static Result<RegularFile> open(const std::string& path);

    RegularFile(RegularFile&& other) noexcept : fd_(other.fd_), size_(other.size_), stamp_(other.stamp_)
    {
        other.fd_ = -1;
    }
    RegularFile& operator=(RegularFile&& other) noexcept;
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;
    ~RegularFile();

    // The size when it was opened.
    std::uint64_t size() const { return size_; }
    // The file as it stood when it was opened.
    const FileStamp& stamp() const { return stamp_; }
    // Up to count bytes from offset; fewer where the file ends.
    Result<std::vector<std::uint8_t>> readAt(std::uint64_t offset, std::size_t count) const;

private:
    RegularFile(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    int fd_ = -1;
    std::uint64_t size_ = 0;
    FileStamp stamp_;
};

// Reads a whole regular file; files larger than maxBytes are refused (TooLarge).
Result<std::vector<std::uint8_t>> readFileBytes(const std::string& path,
                                                std::uint64_t maxBytes = std::uint64_t{1} << 32);

enum class WriteMode { Replace, NoReplace };

// Who may read a new file: whoever the umask lets (replacing a file never widens its access),
// or its owner alone.
enum class FileAccess { Shared, OwnerOnly };

struct WriteOptions {
    WriteMode mode = WriteMode::Replace;
    FileAccess access = FileAccess::Shared;
    // A nameless temporary (O_TMPFILE) where the file system has one; tests turn it off to
    // reach the named fallback.
    bool namelessTemporary = true;
};

// Writes bytes to a temporary file in the target's folder, flushes it to disk and moves it
// onto path, so that path holds either the complete new file or what it held before. The new
// file never carries execute, set-uid or set-gid bits. NoReplace fails with Exists when path
// already exists (checked atomically at the move). A crash leaves no temporary behind, or
// (where the file system has no nameless temporaries) one that the next write into that
// folder removes once it is a day old. A failure's cause tells a full disk, a refused folder
// and a name too long apart.
Status writeFileAtomic(const std::string& path, Bytes bytes, const WriteOptions& options);
Status writeFileAtomic(const std::string& path, Bytes bytes, WriteMode mode = WriteMode::Replace);

// The name pattern of the named temporaries: kTemporaryPrefix and six letters or digits.
inline constexpr char kTemporaryPrefix[] = ".trimlet-";

}  // namespace trimlet
