#pragma once
// Every handler runs its body through runGuarded. Copies of a large picture can run out of
// memory anywhere, and an exception unwinding through Qt's event delivery ends the program
// with the user's edits and slots; caught here, it becomes the command's error report and the
// program goes on with what it had before the command.

#include <QImage>
#include <QString>
#include <exception>
#include <functional>
#include <type_traits>
#include <utility>

#include "codecs/bitmap.h"

namespace trimlet {

// The drawing-error box's text for want of memory (the platform's error code 8).
QString outOfMemoryText();

// What the user is told of a failure that escaped an operation: outOfMemoryText() when memory
// (or a size the allocator refuses) was the cause, else the abort notice with its reason.
QString failureText(const std::exception_ptr& failure);

using FailureReport = std::function<void(const QString& text)>;

// Runs body; false when something escaped it, after its text went to report (or, when the
// report fails as well, to standard error). Never throws.
bool runGuarded(const std::function<void()>& body, const FailureReport& report) noexcept;

// Calls handler with args when it takes them, else with none.
template <class Handler, class... Args>
void callWithArgumentsIfTaken(Handler& handler, Args&... args)
{
    if constexpr (std::is_invocable_v<Handler&, Args&...>)
        handler(args...);
    else
        handler();
}

// A functor for connect(): runs handler through runGuarded, with the signal's arguments when
// it takes them (a clicked button's flag is dropped for a handler without parameters).
template <class Handler>
auto guardedSlot(Handler handler, FailureReport report)
{
    // The choice is made in a function of its own: clang 14 instantiates both branches of an
    // `if constexpr` on a pack of the enclosing generic lambda.
    return [handler = std::move(handler), report = std::move(report)](auto&&... args) mutable {
        runGuarded([&] { callWithArgumentsIfTaken(handler, args...); }, report);
    };
}

// toQImage for a picture that must arrive whole: a copy that Qt could not allocate (Qt gives a
// null image then) throws std::bad_alloc, so that it is reported like any other allocation.
QImage imageOf(const Bitmap& bitmap);

}  // namespace trimlet
