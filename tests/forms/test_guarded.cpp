#include <gtest/gtest.h>

#include <QImage>
#include <QString>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "forms/widgets/guarded.h"

using namespace trimlet;

namespace {

const QString kAborted = QStringLiteral("処理中にエラーが発生したので、処理を中止しました。");

struct Reports {
    std::vector<QString> texts;
    FailureReport report()
    {
        return [this](const QString& text) { texts.push_back(text); };
    }
};

}  // namespace

TEST(Guarded, EachKindOfFailureBecomesItsReport)
{
    EXPECT_EQ(outOfMemoryText(),
              kAborted + QStringLiteral("\nエラーコード：8このコマンドを実行するのに十分な記憶域がありません。"));
    Reports r;
    EXPECT_TRUE(runGuarded([] {}, r.report()));
    EXPECT_TRUE(r.texts.empty());

    EXPECT_FALSE(runGuarded([] { throw std::bad_alloc(); }, r.report()));
    EXPECT_FALSE(runGuarded(
        [] {
            std::vector<int> v;
            v.reserve(v.max_size() + 1);
        },
        r.report()));
    EXPECT_FALSE(runGuarded([] { throw std::runtime_error("disk on fire"); }, r.report()));
    EXPECT_FALSE(runGuarded([] { throw 42; }, r.report()));
    ASSERT_EQ(r.texts.size(), 4u);
    EXPECT_EQ(r.texts[0], outOfMemoryText());
    EXPECT_EQ(r.texts[1], outOfMemoryText());  // a size no allocation can hold
    EXPECT_EQ(r.texts[2], kAborted + QStringLiteral("\ndisk on fire"));
    EXPECT_EQ(r.texts[3], kAborted);
}

TEST(Guarded, AReportThatFailsTooStaysInside)
{
    // The box itself may not get its memory; nothing may leave the handler all the same.
    EXPECT_FALSE(runGuarded([] { throw std::bad_alloc(); }, [](const QString&) { throw std::bad_alloc(); }));
    EXPECT_FALSE(runGuarded([] { throw std::bad_alloc(); }, FailureReport()));  // to standard error
}

TEST(Guarded, SlotsTakeTheSignalsArgumentsTheyAskFor)
{
    Reports r;
    int calls = 0;
    auto plain = guardedSlot([&] { ++calls; }, r.report());
    plain(true);  // a clicked button's flag is dropped
    plain();
    int seen = 0;
    auto withValue = guardedSlot([&](int v) { seen = v; }, r.report());
    withValue(7);
    auto failing = guardedSlot([&](int) { throw std::bad_alloc(); }, r.report());
    failing(1);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(seen, 7);
    ASSERT_EQ(r.texts.size(), 1u);
    EXPECT_EQ(r.texts[0], outOfMemoryText());
}

TEST(Guarded, ImagesArriveWholeOrNotAtAll)
{
    EXPECT_TRUE(imageOf(Bitmap()).isNull());
    Bitmap b(3, 2);
    b.fill(1, 2, 3);
    const QImage image = imageOf(b);
    EXPECT_EQ(image.size(), QSize(3, 2));
    EXPECT_EQ(image.pixel(2, 1), qRgb(3, 2, 1));
}
