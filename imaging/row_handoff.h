#pragma once
// Rows made on one thread and used on another, so that making the next rows and using the
// last ones overlap (a decoder and the kernel after it on two cores).

#include <functional>
#include <memory>

#include "codecs/bitmap.h"

namespace trimlet {

// Hands rows, in order, to a consumer running on a thread of its own, a chunk at a time; the
// consumer is called as consumer(rows, first, count) with the source rows first .. first +
// count − 1 in the first count rows of `rows`. Without a thread (threads not wanted, or none
// to be had) the consumer is called on the caller's thread, as the rows come, and what it
// throws comes out of add.
class RowHandoff {
public:
    using Consumer = std::function<void(const Bitmap& rows, int first, int count)>;

    // Rows width pixels wide; onOwnThread false calls the consumer directly. Throws
    // std::bad_alloc when memory is short.
    RowHandoff(int width, Consumer consumer, bool onOwnThread);
    // Waits for the consumer to finish the rows it has; an exception it threw is dropped.
    ~RowHandoff();
    RowHandoff(const RowHandoff&) = delete;
    RowHandoff& operator=(const RowHandoff&) = delete;

    // The next count rows, the first count rows of band (width pixels wide). May wait while
    // the consumer is behind.
    void add(const Bitmap& band, int count);

    // Waits until the consumer has had every row; throws again what the consumer threw, after
    // which it was given no more rows.
    void finish();

private:
    struct Shared;
    Consumer consumer_;
    int next_ = 0;
    std::unique_ptr<Shared> shared_;
};

}  // namespace trimlet
