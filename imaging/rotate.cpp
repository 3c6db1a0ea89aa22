#include "imaging/rotate.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <functional>
#include <system_error>
#include <thread>
#include <vector>

#include "base/cpu.h"

#ifdef TRIMLET_X86
#include <immintrin.h>
#endif

// The blend must round exactly as written, term by term: a fused multiply-add would change
// results. The build also passes -ffp-contract=off for this file.

namespace trimlet {
namespace {

constexpr long double kPi = 3.14159265358979323846L;

// Rows between two progress checks are done in tiles of this many columns, so that the source
// rows a tile reads stay in cache from one result row to the next (a whole 6000-pixel row at
// 45° reads some 500 KB of source). Measured fastest on 6000 × 4000.
constexpr int kTileColumns = 512;

// Result pixels are written to dst at their place less (dx, dy); source pixels are read from
// a part of the W × H source that starts `offset` bytes into the whole's rows (so row r,
// column c of the whole lies at pixels + r × stride + c × 3 − offset). Every index is unsigned:
// the wrap of the offset's subtraction is exact.
struct Rotation {
    const std::uint8_t* pixels;
    std::size_t stride, offset;
    int width, height;  // of the whole source, whose last row and column stand in for neighbours
    Bitmap& dst;
    int dx, dy;
    double c, s;
    int hw, hh;
    Rgb background;
    std::vector<double> xc, xs;  // x × c and x × s of every dst column, x = X + dx − hw
};

// The result pixel whose source position, relative to the centre pixel, is (u, v).
inline void blendPlain(const Rotation& r, double u, double v, std::uint8_t* out)
{
    const double fi = std::floor(u), fj = std::floor(v);
    const int col = int(fi) + r.hw, row = int(fj) + r.hh;
    if (col < 0 || col >= r.width || row < 0 || row >= r.height) {
        out[0] = r.background.blue;
        out[1] = r.background.green;
        out[2] = r.background.red;
        return;
    }
    const double fx = u - fi, fy = v - fj;
    const double ax = 1 - fx, ay = 1 - fy;
    const std::uint8_t* p00 = r.pixels + (std::size_t(row) * r.stride + std::size_t(col) * 3 - r.offset);
    const std::size_t right = col + 1 < r.width ? 3 : 0;
    const std::size_t down = row + 1 < r.height ? r.stride : 0;
    for (int k = 0; k < 3; ++k) {
        const double value =
            ay * (ax * p00[k] + fx * p00[right + k]) + fy * (ax * p00[down + k] + fx * p00[down + right + k]);
        out[k] = std::uint8_t(std::clamp(int(value), 0, 255));
    }
}

void rotateTilePlain(const Rotation& r, int y0, int y1, int x0, int x1)
{
    for (int Y = y0; Y < y1; ++Y) {
        const double y = Y + r.dy - r.hh;
        const double ys = y * r.s, yc = y * r.c;
        std::uint8_t* out = r.dst.row(Y) + std::size_t(x0) * 3;
        for (int X = x0; X < x1; ++X, out += 3)
            blendPlain(r, r.xc[std::size_t(X)] - ys, r.xs[std::size_t(X)] + yc, out);
    }
}

#ifdef TRIMLET_X86
// The same arithmetic with the three channels side by side in one register; the pixels off the
// last row and column, and outside, go through blendPlain.
[[gnu::target("avx2")]] void rotateTileAvx2(const Rotation& r, int y0, int y1, int x0, int x1)
{
    // Locals, not fields: byte stores could alias the fields, forcing a reload every pixel.
    const unsigned innerW = unsigned(r.width - 1), innerH = unsigned(r.height - 1);
    const std::uint8_t* const pixels = r.pixels;
    const std::size_t stride = r.stride, offset = r.offset;
    const double* const xc = r.xc.data();
    const double* const xs = r.xs.data();
    const double c = r.c, s = r.s;
    const int hw = r.hw, hh = r.hh, dy = r.dy;
    const std::uint8_t background[3] = {r.background.blue, r.background.green, r.background.red};
    for (int Y = y0; Y < y1; ++Y) {
        const double y = Y + dy - hh;
        const double ys = y * s, yc = y * c;
        std::uint8_t* out = r.dst.row(Y) + std::size_t(x0) * 3;
        for (int X = x0; X < x1; ++X, out += 3) {
            const double u = xc[X] - ys, v = xs[X] + yc;
            const double fi = std::floor(u), fj = std::floor(v);
            const unsigned col = unsigned(int(fi) + hw), row = unsigned(int(fj) + hh);
            if (col >= innerW || row >= innerH) {
                if (col <= innerW && row <= innerH)
                    blendPlain(r, u, v, out);  // on the last row or column
                else
                    std::memcpy(out, background, 3);
                continue;
            }
            // Eight bytes from p00 hold p00 and p10; eight ending with p11 hold p01 and p11. Both
            // stay inside the part because a further row of it follows.
            const std::uint8_t* p00 = pixels + (row * stride + std::size_t(col) * 3 - offset);
            const __m128i top = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p00));
            const __m128i bottom = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p00 + stride - 2));
            const __m256d q00 = _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(top));
            const __m256d q10 = _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_srli_si128(top, 3)));
            const __m256d q01 = _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_srli_si128(bottom, 2)));
            const __m256d q11 = _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_srli_si128(bottom, 5)));
            const double fx = u - fi, fy = v - fj;
            const __m256d vfx = _mm256_set1_pd(fx), vax = _mm256_set1_pd(1 - fx);
            const __m256d vfy = _mm256_set1_pd(fy), vay = _mm256_set1_pd(1 - fy);
            const __m256d upper = _mm256_add_pd(_mm256_mul_pd(vax, q00), _mm256_mul_pd(vfx, q10));
            const __m256d lower = _mm256_add_pd(_mm256_mul_pd(vax, q01), _mm256_mul_pd(vfx, q11));
            const __m256d value = _mm256_add_pd(_mm256_mul_pd(vay, upper), _mm256_mul_pd(vfy, lower));
            __m128i bytes = _mm256_cvttpd_epi32(value);
            bytes = _mm_packus_epi16(_mm_packus_epi32(bytes, bytes), bytes);
            const std::uint32_t pixel = std::uint32_t(_mm_cvtsi128_si32(bytes));
            // The fourth byte lands on the next pixel, which this tile writes next; another
            // thread may own the pixel after the tile.
            if (X + 1 < x1)
                std::memcpy(out, &pixel, 4);
            else
                std::memcpy(out, &pixel, 3);
        }
    }
}
#endif

using RotateTile = void (*)(const Rotation&, int, int, int, int);

RotateTile pickTile()
{
#ifdef TRIMLET_X86
    if (cpuLevel() >= CpuLevel::Avx2)
        return rotateTileAvx2;
#endif
    return rotateTilePlain;
}

// Helper threads that stay for the whole rotation and join the calling thread in one job at a
// time: starting threads for every band of 100 rows would cost a few per cent.
class Crew {
public:
    explicit Crew(int helpers)
    {
        threads_.reserve(std::size_t(std::max(0, helpers)));  // so that only starting a thread can fail
        for (int t = 0; t < helpers; ++t) {
            try {
                threads_.emplace_back([this] { serve(); });
            } catch (const std::system_error&) {
                break;  // the threads there are share the work
            }
        }
    }
    Crew(const Crew&) = delete;
    Crew& operator=(const Crew&) = delete;
    ~Crew()
    {
        stopping_ = true;
        generation_.fetch_add(1);
        generation_.notify_all();
        for (std::thread& t : threads_)
            t.join();
    }
    int size() const { return int(threads_.size()) + 1; }

    // Runs job on every thread of the crew, the caller's included, and returns when all are done.
    void run(const std::function<void()>& job)
    {
        job_ = &job;
        busy_ = int(threads_.size());
        generation_.fetch_add(1);
        generation_.notify_all();
        job();
        for (int busy; (busy = busy_.load()) != 0;)
            busy_.wait(busy);
    }

private:
    void serve()
    {
        for (unsigned seen = 0;;) {
            generation_.wait(seen);
            seen = generation_.load();
            if (stopping_)
                return;
            (*job_)();
            if (busy_.fetch_sub(1) == 1)
                busy_.notify_one();
        }
    }

    std::vector<std::thread> threads_;
    std::atomic<unsigned> generation_{0};
    std::atomic<int> busy_{0};
    std::atomic<bool> stopping_{false};
    const std::function<void()>* job_ = nullptr;
};

// Result rows [y0, y1), tile by tile, shared by the crew. The last tiles are cut into parts of a
// few rows, so that the threads run out of work nearly together.
void rotateRows(const Rotation& r, RotateTile tile, int y0, int y1, Crew& crew)
{
    const int width = r.dst.width();
    const int threads = crew.size();
    const int tiles = (width + kTileColumns - 1) / kTileColumns;
    const int whole = threads > 1 ? std::max(0, tiles - threads) : tiles;
    const int parts = std::min(2 * threads, y1 - y0);  // of each remaining tile
    const int items = whole + (tiles - whole) * parts;
    std::atomic<int> next{0};
    const std::function<void()> work = [&] {
        for (int k; (k = next.fetch_add(1, std::memory_order_relaxed)) < items;) {
            const int t = k < whole ? k : whole + (k - whole) / parts;
            const int part = k < whole ? 0 : (k - whole) % parts, of = k < whole ? 1 : parts;
            const int rowsFrom = y0 + int(std::int64_t(y1 - y0) * part / of);
            const int rowsTo = y0 + int(std::int64_t(y1 - y0) * (part + 1) / of);
            tile(r, rowsFrom, rowsTo, t * kTileColumns, std::min(width, (t + 1) * kTileColumns));
        }
    };
    if (threads > 1)
        crew.run(work);
    else
        work();
}

// The smallest multiple of 100 that is not below v.
std::int64_t hundredFrom(std::int64_t v)
{
    const std::int64_t rest = ((v % 100) + 100) % 100;
    return rest == 0 ? v : v + 100 - rest;
}

// The sine and cosine of the turn that maps result positions back to the source.
struct Turn {
    double c, s;
};

Turn turnOf(int degrees)
{
    const long double t = static_cast<long double>(-degrees) * kPi / 180;
    return {double(std::cos(t)), double(std::sin(t))};
}

// part, at partAt of the width × height source, as a rotation reads it into dst, whose pixel
// (0, 0) is result pixel at.
Rotation rotationOnto(const Bitmap& part, IntPoint partAt, int width, int height, int degrees, Rgb background,
                      Bitmap& dst, IntPoint at)
{
    const std::size_t stride = std::size_t(part.stride());
    const std::size_t offset = std::size_t(partAt.y) * stride + std::size_t(partAt.x) * 3;
    const Turn turn = turnOf(degrees);
    Rotation r{.pixels = part.data(),
               .stride = stride,
               .offset = offset,
               .width = width,
               .height = height,
               .dst = dst,
               .dx = at.x,
               .dy = at.y,
               .c = turn.c,
               .s = turn.s,
               .hw = width / 2,
               .hh = height / 2,
               .background = background,
               .xc = {},
               .xs = {}};
    r.xc.resize(std::size_t(dst.width()));
    r.xs.resize(std::size_t(dst.width()));
    for (int X = 0; X < dst.width(); ++X) {
        const double x = X + at.x - r.hw;
        r.xc[std::size_t(X)] = x * r.c;
        r.xs[std::size_t(X)] = x * r.s;
    }
    return r;
}

}  // namespace

std::optional<Bitmap> rotateBilinear(const Bitmap& src, int degrees, Rgb background, const RotateProgress& progress,
                                     int threads)
{
    if (src.empty())
        return Bitmap{};
    const int width = src.width(), height = src.height();
    Bitmap dst(width, height, Bitmap::Init::Uninitialized);
    const Rotation r = rotationOnto(src, {0, 0}, width, height, degrees, background, dst, {0, 0});
    const RotateTile tile = pickTile();
    Crew crew(std::clamp(threads, 1, 64) - 1);
    for (int Y = 0; Y < height;) {
        const int y = Y - r.hh;
        if (y % 100 == 0 && progress) {
            const int percent = int(std::min<std::int64_t>(100, (std::int64_t(100) + Y) * 100 / height));
            if (progress(Y, percent))
                return std::nullopt;
        }
        const int end = int(std::min<std::int64_t>(height, r.hh + hundredFrom(std::int64_t(y) + 1)));
        rotateRows(r, tile, Y, end, crew);
        Y = end;
    }
    return dst;
}

IntRect rotationSourceBox(int width, int height, int degrees, IntRect rect)
{
    if (width <= 0 || height <= 0 || rect.w <= 0 || rect.h <= 0)
        return {};
    // A result pixel's source position is x × c − y × s, x × s + y × c, each product and the sum
    // rounded once; rounding keeps order, so each coordinate only grows (or only shrinks) along
    // a row and down a column, and its extremes over the rectangle lie at its corners.
    const Turn turn = turnOf(degrees);
    const int hw = width / 2, hh = height / 2;
    int colLo = INT_MAX, colHi = INT_MIN, rowLo = INT_MAX, rowHi = INT_MIN;
    for (const int X : {rect.x, rect.x + rect.w - 1})
        for (const int Y : {rect.y, rect.y + rect.h - 1}) {
            const double x = X - hw, y = Y - hh;
            const double xc = x * turn.c, xs = x * turn.s, ys = y * turn.s, yc = y * turn.c;
            const int col = int(std::floor(xc - ys)) + hw, row = int(std::floor(xs + yc)) + hh;
            colLo = std::min(colLo, col);
            colHi = std::max(colHi, col + 1);  // the right-hand neighbour
            rowLo = std::min(rowLo, row);
            rowHi = std::max(rowHi, row + 1);  // and the one below
        }
    colLo = std::max(colLo, 0);
    rowLo = std::max(rowLo, 0);
    colHi = std::min(colHi, width - 1);
    rowHi = std::min(rowHi, height - 1);
    if (colLo > colHi || rowLo > rowHi)
        return {};
    return {colLo, rowLo, colHi - colLo + 1, rowHi - rowLo + 1};
}

Bitmap rotateBilinearRegion(const Bitmap& part, IntPoint partAt, int width, int height, int degrees, Rgb background,
                            IntRect rect, int threads)
{
    if (rect.w <= 0 || rect.h <= 0 || rect.x < 0 || rect.y < 0 || rect.x > width - rect.w || rect.y > height - rect.h)
        return {};
    const IntRect box = rotationSourceBox(width, height, degrees, rect);
    if (box.w > 0 && (partAt.x > box.x || partAt.y > box.y || box.x + box.w > partAt.x + part.width() ||
                      box.y + box.h > partAt.y + part.height()))
        return {};
    Bitmap dst(rect.w, rect.h, Bitmap::Init::Uninitialized);
    const Rotation r = rotationOnto(part, partAt, width, height, degrees, background, dst, {rect.x, rect.y});
    Crew crew(std::clamp(threads, 1, 64) - 1);
    rotateRows(r, pickTile(), 0, rect.h, crew);
    return dst;
}

Parallelogram previewCorners(int width, int height, int degrees)
{
    const long double a = static_cast<long double>(degrees) * kPi / 180;
    const long double cosA = std::cos(a), sinA = std::sin(a);
    const long double cx = static_cast<long double>(width) / 2, cy = static_cast<long double>(height) / 2;
    // nearbyint rounds halves to even in the default rounding mode.
    auto map = [&](long double px, long double py) {
        return IntPoint{int(std::nearbyint(cosA * px - sinA * py + cx)),
                        int(std::nearbyint(sinA * px + cosA * py + cy))};
    };
    return {map(-cx, -cy), map(cx, -cy), map(-cx, cy)};
}

namespace {

using Wide = __int128;

Wide floorDiv(Wide a, Wide b)
{
    const Wide q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

Wide ceilDiv(Wide a, Wide b) { return -floorDiv(-a, b); }

// Narrows [lo, hi] to the X with 0 ≤ f0 + X × step < limit; false when none is left.
bool keepInside(Wide f0, Wide step, Wide limit, Wide& lo, Wide& hi)
{
    if (step == 0)
        return f0 >= 0 && f0 < limit && lo <= hi;
    const Wide least = -f0, most = limit - 1 - f0;  // least ≤ X × step ≤ most
    if (step > 0) {
        lo = std::max(lo, ceilDiv(least, step));
        hi = std::min(hi, floorDiv(most, step));
    } else {
        lo = std::max(lo, ceilDiv(most, step));
        hi = std::min(hi, floorDiv(least, step));
    }
    return lo <= hi;
}

// floor(n × scale ÷ limit) while n grows by `step` at a time, exactly, without a division per
// pixel.
struct Stepper {
    Wide q, r, stepQ, stepR, limit;

    Stepper(Wide n, Wide step, Wide scale, Wide limit)
        : q(floorDiv(n * scale, limit)), r(n * scale - q * limit), stepQ(floorDiv(step * scale, limit)),
          stepR(step * scale - stepQ * limit), limit(limit)
    {}
    void advance()
    {
        q += stepQ;
        r += stepR;
        if (r >= limit) {
            r -= limit;
            ++q;
        }
    }
};

}  // namespace

void copyOntoParallelogram(const Bitmap& src, const Parallelogram& to, Bitmap& dst)
{
    if (src.empty() || dst.empty())
        return;
    // e1 is where the source's top edge goes, e2 its left edge. A result pixel's centre
    // (X + ½, Y + ½) lies at P0 + s·e1 + t·e2; doubled, its offset from P0 is whole, and so are
    // s and t times the limit 2·|det|.
    const Wide e1x = Wide(to.topRight.x) - to.topLeft.x, e1y = Wide(to.topRight.y) - to.topLeft.y;
    const Wide e2x = Wide(to.bottomLeft.x) - to.topLeft.x, e2y = Wide(to.bottomLeft.y) - to.topLeft.y;
    const Wide det = e1x * e2y - e1y * e2x;
    if (det == 0)
        return;
    const Wide sign = det > 0 ? 1 : -1;
    const Wide limit = 2 * det * sign;                           // below 2^67 for any int corners
    const Wide stepS = sign * 2 * e2y, stepT = -sign * 2 * e1y;  // per result column
    const Wide dx0 = 1 - 2 * Wide(to.topLeft.x);
    for (int Y = 0; Y < dst.height(); ++Y) {
        const Wide dy = 2 * Wide(Y) + 1 - 2 * Wide(to.topLeft.y);
        const Wide s0 = sign * (dx0 * e2y - dy * e2x), t0 = sign * (e1x * dy - e1y * dx0);
        Wide lo = 0, hi = dst.width() - 1;
        if (!keepInside(s0, stepS, limit, lo, hi) || !keepInside(t0, stepT, limit, lo, hi))
            continue;
        Stepper column(s0 + lo * stepS, stepS, src.width(), limit);
        Stepper row(t0 + lo * stepT, stepT, src.height(), limit);
        std::uint8_t* out = dst.row(Y) + std::size_t(lo) * 3;
        for (int X = int(lo); X <= int(hi); ++X, out += 3) {
            std::memcpy(out, src.row(int(row.q)) + std::size_t(column.q) * 3, 3);
            column.advance();
            row.advance();
        }
    }
}

Bitmap rotationPreview(const Bitmap& base, int degrees, Rgb background)
{
    Bitmap canvas(base.width(), base.height(), Bitmap::Init::Uninitialized);
    canvas.fill(background.blue, background.green, background.red);
    copyOntoParallelogram(base, previewCorners(base.width(), base.height(), degrees), canvas);
    return canvas;
}

}  // namespace trimlet
