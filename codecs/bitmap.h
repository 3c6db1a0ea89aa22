#pragma once
// The working picture: 24 bits a pixel, bytes blue, green, red, rows from the top, each row
// padded to a multiple of 4 bytes (padding bytes are zero).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace trimlet {

// Largest pixel store we allocate for one picture (stride × height): 2 GiB.
inline constexpr std::int64_t kMaxBitmapBytes = std::int64_t{1} << 31;

// Allocator that leaves bytes uninitialised on resize, so that kernels which overwrite every
// row do not pay for a memset of a 100 MB buffer first.
template <class T>
struct DefaultInitAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = DefaultInitAllocator<U>;
    };
    using std::allocator<T>::allocator;
    template <class U>
    void construct(U* p) noexcept
    {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args)
    {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

using ByteBuffer = std::vector<std::uint8_t, DefaultInitAllocator<std::uint8_t>>;

class Bitmap {
public:
    // Uninitialized leaves pixels undefined (in Debug builds every byte is kUnwrittenByte).
    enum class Init { Zero, Uninitialized };
    static constexpr std::uint8_t kUnwrittenByte = 0xA5;

    Bitmap() = default;
    // Throws std::length_error when !sizeAllowed(width, height), std::bad_alloc when memory is
    // short. Codecs check sizeAllowed first and report TooLarge as a value instead.
    Bitmap(int width, int height, Init init = Init::Zero);

    static constexpr std::int64_t strideFor(std::int64_t width) { return (width * 3 + 3) & ~std::int64_t{3}; }
    // True when a width × height bitmap is non-negative and its store stays within the cap.
    static bool sizeAllowed(std::int64_t width, std::int64_t height, std::int64_t maxBytes = kMaxBitmapBytes);

    int width() const { return width_; }
    int height() const { return height_; }
    int stride() const { return stride_; }
    bool empty() const { return width_ <= 0 || height_ <= 0; }
    std::size_t byteCount() const { return pixels_.size(); }

    std::uint8_t* data() { return pixels_.data(); }
    const std::uint8_t* data() const { return pixels_.data(); }
    std::uint8_t* row(int y) { return pixels_.data() + std::size_t(y) * std::size_t(stride_); }
    const std::uint8_t* row(int y) const { return pixels_.data() + std::size_t(y) * std::size_t(stride_); }

    // Fills every pixel with one colour (padding stays zero).
    void fill(std::uint8_t blue, std::uint8_t green, std::uint8_t red);

    // Equal sizes and equal pixels; padding is not compared.
    friend bool operator==(const Bitmap& a, const Bitmap& b);

private:
    int width_ = 0;
    int height_ = 0;
    int stride_ = 0;
    ByteBuffer pixels_;
};

}  // namespace trimlet
