// The rotated cut against the whole way: decode everything, place it, rotate it, cut it.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "codecs/jpeg.h"
#include "codecs/picture_file.h"
#include "document/cut_job.h"
#include "document/rotated_cut_job.h"
#include "imaging/cut.h"
#include "imaging/plan.h"
#include "imaging/rotate.h"
#include "tests/codecs/photo_fixtures.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

struct Cut {
    CutRequest request;
    std::optional<IntPoint> origin;
};

// Odd sizes, so that the source box's edges fall inside MCUs; both files carry an orientation
// that turns them, composed with the placement; the cuts reduce, start from an origin, and sit
// by a corner where the rotation leaves background.
TEST(RotatedCutJob, CutsWhatRotatingTheWholePlacedPictureGives)
{
    test::TempDir dir;
    const test::Data stored = encodeJpeg(test::photoLike(203, 157, 7), 90).value();
    test::writeBytes(dir.file("exif6.jpg"),
                     test::withSegments(stored, {{0xE1, test::exifApp1(test::orientationBlock(false, 6))}}));
    ASSERT_TRUE(writePngFile(test::photoLike(171, 203, 8), dir.file("exif5.png")));
    test::setOrientation(dir.file("exif5.png"), 5);
    const Rgb background{0x12, 0x34, 0x56};
    const std::vector<Cut> cuts = {{{40, 50, 100, false, {}, false}, {}},
                                   {{40, 50, 61, false, {}, false}, IntPoint{7, 13}},
                                   {{30, 20, 50, true, {150, 3}, false}, {}}};

    for (const std::string name : {"exif6.jpg", "exif5.png"}) {
        const std::string path = dir.file(name);
        ASSERT_EQ(probePictureFile(path).value().orientation, name == "exif6.jpg" ? 6 : 5) << name;
        for (const int placement : {1, kTurnedRight, kMirroredLeftRight})
            for (const int degrees : {30, -135}) {
                const Bitmap rotated =
                    *rotateBilinear(loadPicturePlaced(path, placement, {}).value().bitmap(), degrees, background);
                for (const Cut& cut : cuts) {
                    const auto whole = cut.origin ? cutAtOrigin(rotated, cut.request, *cut.origin)
                                                  : Result<Picture>(Picture(cutPicture(rotated, cut.request)));
                    const auto job =
                        loadRotatedCut(path, placement, degrees, background, cut.request, cut.origin, {}, 2);
                    ASSERT_TRUE(job) << job.error().message;
                    EXPECT_TRUE(job.value().bitmap() == whole.value().bitmap())
                        << name << " placed as " << placement << " at " << degrees << "° rate " << cut.request.rate;
                }
            }
    }
}

}  // namespace
}  // namespace trimlet
