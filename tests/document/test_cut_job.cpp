// The cut job against the whole way: decode everything, place it, cut it.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "codecs/jpeg.h"
#include "codecs/picture_file.h"
#include "document/cut_job.h"
#include "imaging/cut.h"
#include "imaging/orientation.h"
#include "imaging/photo.h"
#include "tests/codecs/photo_fixtures.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

// An odd size, so that the region's edges fall inside MCUs and the bands end part-filled; one
// file turned by its EXIF orientation, so that the placement is composed with it.
TEST(CutJob, EveryPlacementAndRateCutsWhatTheWholePictureGives)
{
    test::TempDir dir;
    const test::Data stored = encodeJpeg(test::photoLike(203, 157, 7), 90).value();
    test::writeBytes(dir.file("plain.jpg"), stored);
    test::writeBytes(dir.file("exif5.jpg"),
                     test::withSegments(stored, {{0xE1, test::exifApp1(test::orientationBlock(false, 5))}}));
    ASSERT_TRUE(writePngFile(test::photoLike(203, 157, 8), dir.file("p.png")));

    for (const std::string name : {"plain.jpg", "exif5.jpg", "p.png"}) {
        const std::string path = dir.file(name);
        const Bitmap shown = loadPictureUpright(path).value().bitmap();
        for (int placement = 1; placement <= 8; ++placement) {
            const Bitmap placed = orientBitmap(shown, placement);
            const auto whole = loadPicturePlaced(path, placement, {});
            ASSERT_TRUE(whole) << name << " " << placement;
            EXPECT_TRUE(whole.value().bitmap() == placed) << name << " placed as " << placement;
            for (const int rate : {100, 61})
                for (const std::optional<IntPoint> origin :
                     {std::optional<IntPoint>(), std::optional(IntPoint{7, 13})}) {
                    const CutRequest cut{40, 50, rate, false, {}, false};
                    const CutFrame f = origin ? cutFrameAt(placed.width(), placed.height(), cut, *origin)
                                              : cutFrame(placed.width(), placed.height(), cut).value();
                    const auto job = loadPictureCut(path, placement, cut, origin, {});
                    ASSERT_TRUE(job) << job.error().message;
                    EXPECT_TRUE(job.value().bitmap() == cutRegion(placed, f.origin, f.width, f.height, f.rate))
                        << name << " placed as " << placement << " at rate " << rate << (origin ? " from 7,13" : "");
                }
        }
    }
}

}  // namespace
}  // namespace trimlet
