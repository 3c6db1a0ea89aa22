#include "forms/widgets/guarded.h"

#include <QCoreApplication>
#include <cstdio>
#include <new>
#include <stdexcept>

#include "platform/qimage_bridge.h"

namespace trimlet {

namespace {

QString abortedText()
{
    return QCoreApplication::translate("Failure", "処理中にエラーが発生したので、処理を中止しました。");
}

}  // namespace

QString outOfMemoryText()
{
    return abortedText() + QCoreApplication::translate(
                               "Failure", "\nエラーコード：8このコマンドを実行するのに十分な記憶域がありません。");
}

QString failureText(const std::exception_ptr& failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const std::bad_alloc&) {
        return outOfMemoryText();
    } catch (const std::length_error&) {
        return outOfMemoryText();  // a size no allocation can hold
    } catch (const std::exception& e) {
        return abortedText() + QLatin1Char('\n') + QString::fromLocal8Bit(e.what());
    } catch (...) {
        return abortedText();
    }
}

bool runGuarded(const std::function<void()>& body, const FailureReport& report) noexcept
{
    std::exception_ptr failure;
    try {
        body();
        return true;
    } catch (...) {
        failure = std::current_exception();
    }
    // The failed command's own allocations are released by now, so the report normally gets
    // the memory for its box.
    try {
        const QString text = failureText(failure);
        if (report)
            report(text);
        else
            std::fprintf(stderr, "trimlet: %s\n", text.toLocal8Bit().constData());
    } catch (...) {
        std::fputs("trimlet: a command failed for want of memory and could not say so\n", stderr);
    }
    return false;
}

QImage imageOf(const Bitmap& bitmap)
{
    QImage image = toQImage(bitmap);
    if (image.isNull() && !bitmap.empty())
        throw std::bad_alloc();
    return image;
}

}  // namespace trimlet
