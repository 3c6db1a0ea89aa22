#include "tests/support/test_support.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace trimlet::test {

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "trimlet-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

std::vector<std::uint8_t> readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

bool fileExists(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

std::vector<std::string> entryNames(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

namespace {

std::uint64_t addressSpaceInUse()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmSize:", 0) == 0)
            return std::stoull(line.substr(7)) * 1024;
    return 0;
}

}  // namespace

std::optional<std::string> textInChildWithin(std::uint64_t budget, const std::function<std::string()>& work,
                                             const std::function<void()>& prepare)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return std::nullopt;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        if (prepare)
            prepare();
        const rlimit limit{rlim_t(addressSpaceInUse() + budget), rlim_t(addressSpaceInUse() + budget)};
        ::setrlimit(RLIMIT_AS, &limit);
        const std::string text = work();
        if (::write(fds[1], text.data(), text.size()) < 0)
            ::_exit(3);
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, std::size_t(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return text;
}

CommandResult runCommand(const std::string& commandLine)
{
    CommandResult result;
    FILE* pipe = ::popen(commandLine.c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.out.append(buffer, n);
    const int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

bool haveProgram(const std::string& name)
{
    return runCommand("command -v " + name + " >/dev/null 2>&1").exitCode == 0;
}

void withFileSizeLimit(std::uint64_t maxBytes, const std::function<void()>& fn)
{
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lowered = old;
    lowered.rlim_cur = rlim_t(maxBytes);
    ::setrlimit(RLIMIT_FSIZE, &lowered);
    fn();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
}

ReadOnlyFolder::ReadOnlyFolder(std::string folder) : folder_(std::move(folder))
{
    if (::geteuid() != 0) {
        ok_ = ::chmod(folder_.c_str(), 0555) == 0;
        return;
    }
    mounted_ = ::mount(folder_.c_str(), folder_.c_str(), nullptr, MS_BIND, nullptr) == 0;
    ok_ = mounted_ && ::mount(nullptr, folder_.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
}

ReadOnlyFolder::~ReadOnlyFolder()
{
    if (mounted_)
        ::umount2(folder_.c_str(), MNT_DETACH);
    else if (ok_)
        ::chmod(folder_.c_str(), 0755);
}

std::vector<std::uint8_t> toPpm(const Bitmap& bitmap)
{
    const std::string header =
        "P6\n" + std::to_string(bitmap.width()) + " " + std::to_string(bitmap.height()) + "\n255\n";
    std::vector<std::uint8_t> out(header.begin(), header.end());
    out.reserve(out.size() + std::size_t(bitmap.width()) * bitmap.height() * 3);
    for (int y = 0; y < bitmap.height(); ++y) {
        const std::uint8_t* p = bitmap.row(y);
        for (int x = 0; x < bitmap.width(); ++x, p += 3) {
            out.push_back(p[2]);
            out.push_back(p[1]);
            out.push_back(p[0]);
        }
    }
    return out;
}

Bitmap fromPnm(const std::vector<std::uint8_t>& pnm)
{
    std::size_t pos = 0;
    auto token = [&]() {
        std::string t;
        while (pos < pnm.size()) {
            const char c = char(pnm[pos]);
            if (c == '#') {
                while (pos < pnm.size() && pnm[pos] != '\n')
                    ++pos;
            } else if (std::isspace(static_cast<unsigned char>(c))) {
                if (!t.empty())
                    break;
                ++pos;
            } else {
                t += c;
                ++pos;
            }
        }
        return t;
    };
    const std::string magic = token();
    const int w = std::stoi(token());
    const int h = std::stoi(token());
    const int maxval = std::stoi(token());
    ++pos;  // the single white space after maxval
    if ((magic != "P6" && magic != "P5") || maxval != 255)
        throw std::runtime_error("unsupported PNM " + magic);
    const int channels = magic == "P6" ? 3 : 1;
    if (pnm.size() < pos + std::size_t(w) * h * channels)
        throw std::runtime_error("short PNM");
    Bitmap out(w, h);
    const std::uint8_t* s = pnm.data() + pos;
    for (int y = 0; y < h; ++y) {
        std::uint8_t* d = out.row(y);
        for (int x = 0; x < w; ++x, d += 3, s += channels) {
            d[0] = s[channels == 3 ? 2 : 0];
            d[1] = s[channels == 3 ? 1 : 0];
            d[2] = s[0];
        }
    }
    return out;
}

Bitmap photoLike(int width, int height, std::uint32_t seed)
{
    Bitmap out(width, height, Bitmap::Init::Uninitialized);
    std::uint32_t state = seed * 2654435761u + 1;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = out.row(y);
        const double fy = double(y) / std::max(1, height - 1);
        for (int x = 0; x < width; ++x, p += 3) {
            const double fx = double(x) / std::max(1, width - 1);
            state = state * 1664525u + 1013904223u;
            const int noise = int(state >> 29) - 4;  // -4..3
            const double wave = 40.0 * std::sin(fx * 23.0 + fy * 7.0) * std::cos(fy * 17.0 - fx * 3.0);
            const bool edge = ((x / 97) + (y / 61)) % 5 == 0;
            const int r = int(60 + 150 * fx + wave) + noise + (edge ? 30 : 0);
            const int g = int(50 + 120 * fy - wave * 0.5) + noise;
            const int b = int(200 - 140 * fx * fy + wave * 0.3) - noise + (edge ? -40 : 0);
            p[0] = std::uint8_t(std::clamp(b, 0, 255));
            p[1] = std::uint8_t(std::clamp(g, 0, 255));
            p[2] = std::uint8_t(std::clamp(r, 0, 255));
        }
    }
    return out;
}

Bitmap noisePicture(int width, int height, std::uint32_t seed)
{
    Bitmap out(width, height, Bitmap::Init::Uninitialized);
    std::uint32_t state = seed;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width * 3; ++x)
            out.row(y)[x] = std::uint8_t((state = state * 1664525u + 1013904223u) >> 24);
    return out;
}

Bitmap bitmapFromRows(const std::vector<std::vector<std::uint32_t>>& rgbRows)
{
    const int h = int(rgbRows.size());
    const int w = h ? int(rgbRows[0].size()) : 0;
    Bitmap out(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint32_t c = rgbRows[y][x];
            std::uint8_t* p = out.row(y) + 3 * x;
            p[0] = std::uint8_t(c);
            p[1] = std::uint8_t(c >> 8);
            p[2] = std::uint8_t(c >> 16);
        }
    return out;
}

std::uint32_t pixelAt(const Bitmap& bitmap, int x, int y)
{
    const std::uint8_t* p = bitmap.row(y) + 3 * x;
    return std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
}

int maxChannelDifference(const Bitmap& a, const Bitmap& b)
{
    if (a.width() != b.width() || a.height() != b.height())
        return 256;
    int worst = 0;
    for (int y = 0; y < a.height(); ++y) {
        const std::uint8_t* p = a.row(y);
        const std::uint8_t* q = b.row(y);
        for (int i = 0; i < a.width() * 3; ++i)
            worst = std::max(worst, std::abs(int(p[i]) - int(q[i])));
    }
    return worst;
}

}  // namespace trimlet::test
