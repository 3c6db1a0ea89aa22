// The disk side of shortcuts and of the settings file, in a private temporary folder (the
// working folder, so relative paths stay inside it; libFuzzer needs absolute paths) that
// holds pictures, folders, a FIFO and symbolic links (one of them a loop). The first byte
// chooses: even, the rest is a shortcut that is resolved and whose target is probed and
// loaded as the window would; odd, the rest is a settings file that is read, written and
// read back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "codecs/bmp.h"
#include "codecs/jpeg.h"
#include "codecs/picture_file.h"
#include "codecs/shell_link.h"
#include "settings/profile_file.h"

namespace {

namespace fs = std::filesystem;

void check(bool ok)
{
    if (!ok)
        std::abort();
}

void check(const trimlet::Status& status) { check(status.ok()); }

// Removed with everything in it when the fuzzer exits.
struct TemporaryFolder {
    std::string path;
    ~TemporaryFolder()
    {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

// The folder every input works in, made once: relative shortcut paths resolve inside it.
const std::string& folder()
{
    static const TemporaryFolder dir{[] {
        // On tmpfs where there is one: every settings write is flushed to disk.
        const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::string pattern = (base / "trimlet-fuzz-XXXXXX").string();
        check(::mkdtemp(pattern.data()) != nullptr);
        const fs::path d = pattern;
        fs::create_directories(d / "pics" / "Sub");
        fs::create_directories(d / "dir.jpg");
        const trimlet::Bitmap small(5, 3);
        std::vector<std::uint8_t> jpeg = trimlet::encodeJpeg(small, 80).value();
        std::vector<std::uint8_t> bmp = trimlet::encodeBmp(small);
        check(trimlet::writeFileAtomic((d / "pics" / "a.jpg").string(), jpeg));
        check(trimlet::writeFileAtomic((d / "pics" / "Sub" / "B.bmp").string(), bmp));
        check(trimlet::writeFileAtomic((d / "broken.png").string(), bmp));
        ::mkfifo((d / "pipe.jpg").c_str(), 0600);
        ::mkfifo((d / "pipe.lnk").c_str(), 0600);
        fs::create_symlink("loop.lnk", d / "loop.lnk");
        fs::create_symlink("pics/a.jpg", d / "alias.jpg");
        fs::create_symlink("/dev/zero", d / "zero.bmp");
        ::setenv("WINEPREFIX", (d / "wine").c_str(), 1);
        fs::create_directories(d / "wine" / "dosdevices");
        fs::create_symlink(d, d / "wine" / "dosdevices" / "c:");
        check(::chdir(d.c_str()) == 0);
        return pattern;
    }()};
    return dir.path;
}

void writeInput(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    fs::remove(path);
    check(trimlet::writeFileAtomic(path, {data, size}));
}

void followShortcut(const std::uint8_t* data, std::size_t size)
{
    const std::string lnk = folder() + "/input.LNK";
    writeInput(lnk, data, size);
    const std::string target = trimlet::resolveShortcut(lnk);
    if (target.empty())
        return;
    check(target[0] == '/' && target.find('\0') == std::string::npos);
    trimlet::DecodeLimits limits;
    limits.maxBitmapBytes = std::int64_t{16} << 20;
    auto probed = trimlet::probePictureFile(target, limits);
    auto loaded = trimlet::loadPictureAsStored(target, limits);
    if (loaded)
        check(probed && probed.value().size == trimlet::PictureSize{loaded.value().width(), loaded.value().height()});
}

void useSettings(const std::uint8_t* data, std::size_t size)
{
    const std::string path = folder() + "/trimlet.ini";
    writeInput(path, data, size);
    trimlet::ProfileFile file(path);
    file.readString("size", "width", "");
    const int quality = file.readInt("jpeg", "quality", 90);
    if (!file.writeString("size", "width", "\x89\xA1VGA 640"))
        return;  // a file too large to rewrite
    check(file.readString("size", "width", "") == "\x89\xA1VGA 640");
    check(file.readInt("jpeg", "quality", 90) == quality);
    check(file.writeInt("jpeg", "quality", quality));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0 || size > (std::size_t{1} << 16))
        return 0;
    folder();
    if (data[0] % 2 == 0)
        followShortcut(data + 1, size - 1);
    else
        useSettings(data + 1, size - 1);
    return 0;
}
