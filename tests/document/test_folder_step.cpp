// Stepping through a folder without a window: the order, the ends, and what a step carries.

#include <gtest/gtest.h>

#include "document/folder_step.h"
#include "tests/support/test_support.h"

using namespace trimlet;

namespace {

struct Folder {
    test::TempDir dir;
    FolderStepper stepper;

    Folder()
    {
        // Only the names count: the step does not open the files.
        for (const char* name : {"b10.png", "B2.jpg", "b1.bmp", "b3.gif", "b4.txt", ".b5.bmp"})
            test::writeBytes(dir.file(name), {0});
    }
    // Steps from `shown` and lands on the target, loaded.
    FolderStepper::Plan step(const FolderStepper::Shown& shown, int direction)
    {
        FolderStepper::Plan plan = stepper.plan(shown, direction);
        if (!plan.target.empty())
            stepper.landed(
                plan, {plan.target, shown.rate, plan.centreOn(shown.width, shown.height), shown.width, shown.height});
        return plan;
    }
};

}  // namespace

TEST(FolderStepper, GoesThroughThePicturesInNaturalOrderAndStopsAtTheEnds)
{
    Folder f;
    const std::vector<std::string> order{"b1.bmp", "B2.jpg", "b3.gif", "b10.png"};
    FolderStepper::Shown shown{f.dir.file("b1.bmp"), 100, {10, 10}, 100, 100};
    for (std::size_t i = 1; i < order.size(); ++i) {
        const auto plan = f.step(shown, +1);
        EXPECT_EQ(plan.target, f.dir.file(order[i]));
        EXPECT_EQ(plan.place, i);
        EXPECT_EQ(plan.count, 4u);
        shown.document = plan.target;
    }
    auto end = f.step(shown, +1);
    EXPECT_TRUE(end.target.empty());
    EXPECT_EQ(end.place, 3u);
    for (std::size_t i = order.size() - 1; i-- > 0;) {
        shown.document = f.step(shown, -1).target;
        EXPECT_EQ(shown.document, f.dir.file(order[i]));
    }
    end = f.step(shown, -1);
    EXPECT_TRUE(end.target.empty());
    EXPECT_EQ(end.place, 0u);
    // A file that is not a picture (or has gone) has no place, but neighbours by its name.
    shown.document = f.dir.file("b4.txt");
    EXPECT_EQ(f.step(shown, +1).target, f.dir.file("b10.png"));
    shown.document = f.dir.file("b99.bmp");
    end = f.step(shown, +1);
    EXPECT_TRUE(end.target.empty());
    EXPECT_EQ(end.place, std::nullopt);
}

TEST(FolderStepper, CarriesTheChosenRateAndPlaceUnlessTheUserChangedThem)
{
    Folder f;
    FolderStepper& s = f.stepper;
    const auto file = [&f](const char* name) { return f.dir.file(name); };
    // Rate 40 and the centre at about a quarter, three quarters of a 400 × 200 picture.
    const FolderStepper::Shown on1{file("b1.bmp"), 40, {99, 149}, 400, 200};
    auto plan = s.plan(on1, +1);
    EXPECT_EQ(plan.target, file("B2.jpg"));
    EXPECT_EQ(plan.rate, 40);
    EXPECT_EQ(plan.centreOn(800, 400), (IntPoint{199, 299}));

    // B2 is too small for them: it shows rate 100 and a clamped centre. The next step gets
    // what the user chose back, and so does the one after a load that failed (b3), which goes
    // on from the file that failed.
    FolderStepper::Shown on2{plan.target, 100, {5, 5}, 10, 10};
    s.landed(plan, on2);
    plan = s.plan(on2, +1);
    EXPECT_EQ(plan.target, file("b3.gif"));
    EXPECT_EQ(plan.rate, 40);
    EXPECT_EQ(plan.centreOn(800, 400), (IntPoint{199, 299}));
    s.landed(plan, on2);
    plan = s.plan(on2, +1);
    EXPECT_EQ(plan.target, file("b10.png"));
    EXPECT_EQ(plan.rate, 40);
    EXPECT_EQ(plan.centreOn(800, 400), (IntPoint{199, 299}));

    // A rate the user changed is taken as it is, the place still carried; a moved frame too.
    FolderStepper::Shown on10{plan.target, 100, {5, 5}, 10, 10};
    s.landed(plan, on10);
    on10.rate = 60;
    plan = s.plan(on10, -1);
    EXPECT_EQ(plan.target, file("b3.gif"));
    EXPECT_EQ(plan.rate, 60);
    EXPECT_EQ(plan.centreOn(800, 400), (IntPoint{199, 299}));
    FolderStepper::Shown on3{plan.target, 60, {3, 3}, 10, 10};
    s.landed(plan, on3);
    on3.centre = {1, 9};
    plan = s.plan(on3, -1);
    EXPECT_EQ(plan.rate, 60);
    EXPECT_EQ(plan.centreOn(800, 400), (IntPoint{120, 380}));

    // A document opened otherwise starts afresh from itself.
    plan = s.plan({file("b1.bmp"), 70, {0, 0}, 1, 1}, +1);
    EXPECT_EQ(plan.target, file("B2.jpg"));
    EXPECT_EQ(plan.rate, 70);
    EXPECT_EQ(plan.centreOn(799, 399), (IntPoint{399, 199}));
}

TEST(FolderStepper, PassesOverThePiecesCutFromThePictures)
{
    test::TempDir dir;
    // Serial outputs of a picture beside it, in either tail and any kind, a set's pieces, and
    // pieces of pieces, go; names that only look numbered, with no picture of that name, stay.
    for (const char* name : {"IMG_1.heic", "IMG_1(1).jpg", "IMG_1(1)(1).jpg", "IMG_1-2.png", "IMG_2.jpg",
                             "IMG_2(x).jpg", "notes(3).jpg", "scan-7.png", "(1).jpg", "wall.jpg",
                             "IMG_1(2)_1920x1080.jpg", "IMG_2-1_1920x1080_2.png", "IMG_3_1920x1080.jpg"})
        test::writeBytes(dir.file(name), {0});
    FolderStepper stepper;
    // A file saved under a name of the user's own goes too.
    stepper.wrote(dir.file("wall.jpg"));
    std::vector<std::string> seen;
    FolderStepper::Shown shown{dir.file("(1).jpg"), 100, {0, 0}, 10, 10};
    FolderStepper::Plan plan;
    while (!(plan = stepper.plan(shown, +1)).target.empty()) {
        stepper.landed(plan, shown = {plan.target, 100, {0, 0}, 10, 10});
        seen.push_back(plan.target.substr(dir.path().size() + 1));
        EXPECT_EQ(plan.count, 7u);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"IMG_1.heic", "IMG_2(x).jpg", "IMG_2.jpg", "IMG_3_1920x1080.jpg",
                                              "notes(3).jpg", "scan-7.png"}));
}
