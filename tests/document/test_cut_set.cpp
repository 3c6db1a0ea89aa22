// Cut sets and spans: their text as the settings file and the command line give it, the span's
// layout on the desk worked out by hand, the set's pieces against single cuts, and a straight
// line that must stay straight across two monitors of different densities.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "document/cut_set.h"

using namespace trimlet;

namespace {

const std::string kTwoScreens = "2560x1440+0+0/597,1920x1080+2560+180/527";

SpanLayout layoutOf(const std::string& screens, double bezel)
{
    auto layout = spanLayout(parseSpanScreens(screens).value(), bezel);
    EXPECT_TRUE(layout) << layout.error().message;
    return layout ? layout.value() : SpanLayout{};
}

void expectRect(const MmRect& r, double x, double y, double w, double h)
{
    EXPECT_NEAR(r.x, x, 1e-6);
    EXPECT_NEAR(r.y, y, 1e-6);
    EXPECT_NEAR(r.w, w, 1e-6);
    EXPECT_NEAR(r.h, h, 1e-6);
}

std::string errorOf(const Result<std::vector<PieceSize>>& r) { return r ? "ok" : r.error().message; }
std::string errorOf(const Result<std::vector<SpanScreen>>& r) { return r ? "ok" : r.error().message; }
std::string errorOf(const Result<CutSet>& r) { return r ? "ok" : r.error().message; }

}  // namespace

TEST(CutSet, SizeAndScreenListsRefuseBadEntriesByName)
{
    const std::string sizeRule = " is not WxH with W 24..4096 and H 32..4096";
    const std::vector<std::pair<std::string, std::string>> sizeCases{
        {"1920x1080, 1080x2400 ,1920x1080,24x32,4096x4096", "ok"},
        {"1920x10800", "1920x10800" + sizeRule},
        {"23x100", "23x100" + sizeRule},
        {"100x31", "100x31" + sizeRule},
        {"4097x100", "4097x100" + sizeRule},
        {"99999999999999999999999x1080", "99999999999999999999999x1080" + sizeRule},
        {"1920x1080x2", "1920x1080x2" + sizeRule},
        {"-1920x1080", "-1920x1080" + sizeRule},
        {"1920x1080.5", "1920x1080.5" + sizeRule},
        {std::string("1920x1080\0", 10), "1920x1080\\x00" + sizeRule},
        {"", "no sizes given"},
        {"1920x1080,", "the list has an empty entry"},
        {",1920x1080", "the list has an empty entry"},
        {"1920x1080,,1080x1920", "the list has an empty entry"},
        {std::string(100000, '9'), std::string(40, '9') + "…" + sizeRule},
    };
    for (const auto& [text, expected] : sizeCases)
        EXPECT_EQ(errorOf(parseSizeList(text)), expected) << text;
    EXPECT_EQ(formatSizeList(parseSizeList(sizeCases[0].first).value()), "1920x1080,1080x2400,24x32,4096x4096");

    // Sixteen sizes, a repeated one kept once; a seventeenth is refused.
    std::string sixteen;
    for (int i = 0; i < kSetMaxMembers; ++i)
        sixteen += std::to_string(100 + i) + "x100,";
    EXPECT_EQ(parseSizeList(sixteen + "100x100").value().size(), 16u);
    EXPECT_EQ(errorOf(parseSizeList(sixteen + "99x100")), "more than 16 sizes, from 99x100");

    const std::string screenRule =
        " is not WxH+X+Y/MM with W and H 1..16384, X and Y within ±1000000 and MM above 0 up to 10000";
    const std::vector<std::pair<std::string, std::string>> screenCases{
        {kTwoScreens, "ok"},
        {"1x1-1000000+1000000/10000", "ok"},
        {"2560x1440+0+0/0", "2560x1440+0+0/0" + screenRule},
        {"2560x1440+0+0/10000.01", "2560x1440+0+0/10000.01" + screenRule},
        {"2560x1440+0+0/5e2", "2560x1440+0+0/5e2" + screenRule},
        {"2560x1440+0+0/inf", "2560x1440+0+0/inf" + screenRule},
        {"2560x1440+0+0/-5", "2560x1440+0+0/-5" + screenRule},
        {"2560x1440+0+0/5.", "2560x1440+0+0/5." + screenRule},
        {"2560x1440+0+0/597/2", "2560x1440+0+0/597/2" + screenRule},
        {"2560x1440+0/597", "2560x1440+0/597" + screenRule},
        {"2560x1440+0+0", "2560x1440+0+0" + screenRule},
        {"16385x10+0+0/1", "16385x10+0+0/1" + screenRule},
        {"10x10+1000001+0/1", "10x10+1000001+0/1" + screenRule},
        {"0x10+0+0/1", "0x10+0+0/1" + screenRule},
        {"2560x1440+0+0/597,", "the list has an empty entry"},
        {"", "no screens given"},
        {"100x100+0+0/10,100x100+200+0/10,100x100+50+50/10", "screens 1 and 3 overlap"},
    };
    for (const auto& [text, expected] : screenCases)
        EXPECT_EQ(errorOf(parseSpanScreens(text)), expected) << text;
    std::string seventeen;
    for (int i = 0; i <= kSetMaxMembers; ++i)
        seventeen += (i ? "," : "") + std::string("10x10+") + std::to_string(10 * i) + "+0/5";
    EXPECT_EQ(errorOf(parseSpanScreens(seventeen)), "more than 16 screens, from 10x10+160+0/5");

    EXPECT_EQ(parseBezel("10.25").value(), 10.25);
    EXPECT_EQ(parseBezel("1000").value(), 1000);
    for (const char* bad : {"", "-1", "1000.5", "1e2", "nan", "10 mm"})
        EXPECT_FALSE(parseBezel(bad)) << bad;
}

TEST(CutSet, SetValuesComeBackAsTheyWereWritten)
{
    // Widths in mm as exact binary fractions and as decimals that are not.
    std::mt19937 random(5);
    const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    for (int round = 0; round < 200; ++round) {
        CutSet set;
        if (round % 2 == 0) {
            for (int i = pick(1, kSetMaxMembers); i > 0; --i) {
                const PieceSize s{pick(kSetMinWidth, kSetMaxSide), pick(kSetMinHeight, kSetMaxSide)};
                if (std::find(set.sizes.begin(), set.sizes.end(), s) == set.sizes.end())
                    set.sizes.push_back(s);
            }
        } else {
            set.kind = CutSet::Kind::Span;
            set.bezelMm = pick(0, 100000) / 100.0;
            // A row of screens, each beside the one before.
            int x = -pick(0, 5000);
            const int y = pick(-20000, 20000);
            for (int i = pick(1, kSetMaxMembers); i > 0; --i) {
                const int width = pick(1, 4096);
                set.screens.push_back({width, pick(1, 16384), x, y, pick(width * 10, width * 50) / 100.0});
                x += set.screens.back().width;
            }
        }
        const std::string value = formatSetValue(set);
        const auto back = parseSetValue(value);
        ASSERT_TRUE(back) << value << ": " << back.error().message;
        EXPECT_EQ(back.value(), set) << value;
    }
    EXPECT_EQ(formatSpanScreens({{1920, 1080, -1920, -180, 527.5}, {2560, 1440, 0, 0, 597}}),
              "1920x1080-1920-180/527.5,2560x1440+0+0/597");
    EXPECT_EQ(formatSetValue(parseSetValue("span:" + kTwoScreens + ";bezel:10.000").value()),
              "span:" + kTwoScreens + ";bezel:10");
    EXPECT_EQ(parseSetValue("span:" + kTwoScreens).value().bezelMm, 0);
    EXPECT_EQ(errorOf(parseSetValue("span:" + kTwoScreens + ";bezil:10")), "bezil:10 is not bezel:MM");
    EXPECT_EQ(errorOf(parseSetValue("span:" + kTwoScreens + ";bezel:")), " is not a bezel in mm, 0..1000");
    EXPECT_EQ(errorOf(parseSetValue("span:100x100+0+0/10,100x100+100+100/10")), "screen 2 touches no other screen");
    EXPECT_EQ(errorOf(parseSetValue("span:")), "no screens given");
    EXPECT_EQ(errorOf(parseSetValue("1920x1080,span")), "span is not WxH with W 24..4096 and H 32..4096");
}

TEST(CutSet, SpanLayoutsWorkedByHand)
{
    // Pitches 597/2560 = 0.233203125 and 527/1920 = 0.274479166… mm. The second screen stands
    // 10 mm right of the first and 180 of the first's pixels = 41.9765625 mm lower.
    const SpanLayout two = layoutOf(kTwoScreens, 10);
    ASSERT_EQ(two.screens.size(), 2u);
    expectRect(two.screens[0], 0, 0, 597, 335.8125);
    expectRect(two.screens[1], 607, 41.9765625, 527, 296.4375);
    EXPECT_NEAR(two.widthMm, 1134, 1e-9);
    EXPECT_NEAR(two.heightMm, 338.4140625, 1e-9);
    EXPECT_EQ(two.width, 4863);   // 1134 / 0.233203125 = 4862.71
    EXPECT_EQ(two.height, 1451);  // 338.41 / 0.233203125 = 1451.16

    // A portrait screen 240 pixels higher: 302.4 mm wide at 0.28 mm, 537.6 high, its top
    // 240 × 0.233203125 = 55.96875 mm above the first's, which moves down by as much.
    const SpanLayout portrait = layoutOf("2560x1440+0+0/597,1080x1920+2560-240/302.4", 10);
    expectRect(portrait.screens[0], 0, 55.96875, 597, 335.8125);
    expectRect(portrait.screens[1], 607, 0, 302.4, 537.6);
    EXPECT_NEAR(portrait.widthMm, 909.4, 1e-9);
    EXPECT_NEAR(portrait.heightMm, 537.6, 1e-9);
    EXPECT_EQ(portrait.width, 3900);   // 3899.60
    EXPECT_EQ(portrait.height, 2305);  // 2305.29

    // A stack: the wide screen below starts 320 of the upper one's pixels (87.83 mm) to its left.
    const SpanLayout stack = layoutOf("1920x1080+0+0/527,2560x1440-320+1080/597", 10);
    expectRect(stack.screens[0], 320 * 527.0 / 1920, 0, 527, 296.4375);
    expectRect(stack.screens[1], 0, 306.4375, 597, 335.8125);
    EXPECT_NEAR(stack.widthMm, 320 * 527.0 / 1920 + 527, 1e-9);  // the upper one reaches past
    EXPECT_NEAR(stack.heightMm, 642.25, 1e-9);
    EXPECT_EQ(stack.width, 2636);   // 614.83 / 0.233203125 = 2636.47
    EXPECT_EQ(stack.height, 2754);  // 2754.04

    // A screen placed from one given after it; corners alone do not join screens.
    const SpanLayout row = layoutOf("1920x1080+0+0/527,1920x1080+3840+0/527,1920x1080+1920+0/527", 5);
    expectRect(row.screens[1], 1064, 0, 527, 296.4375);
    expectRect(row.screens[2], 532, 0, 527, 296.4375);
    EXPECT_EQ(row.width, 5796);  // 1591 mm / 0.274479166 = 5796.43
    auto apart = spanLayout(parseSpanScreens("100x100+0+0/10,100x100+300+0/10,100x100+100+100/10").value(), 0);
    ASSERT_FALSE(apart);
    EXPECT_EQ(apart.error().message, "screen 2 touches no other screen");
}

TEST(CutSet, SpanRegionKeepsTheLayoutsProportionsInsideThePicture)
{
    const SpanLayout two = layoutOf(kTwoScreens, 10);  // 4863 × 1451
    // Past the picture even at the rate 100: as wide as the picture, 1451 × 3000 / 4863 = 895.1 high.
    EXPECT_EQ(spanRegion(two, 3000, 1000, 100, true), (RegionSize{3000, 895}));
    EXPECT_EQ(spanRegion(two, 3000, 1000, 37, false), (RegionSize{3000, 895}));
    // A tall stack on a wide picture takes its height: 2636 × 1000 / 2754 = 957.2.
    EXPECT_EQ(spanRegion(layoutOf("1920x1080+0+0/527,2560x1440-320+1080/597", 10), 3000, 1000, 100, false),
              (RegionSize{957, 1000}));
    // Room enough: the fit rate is 25, the lowest at which 4863 × 100 / R stays within 20000.
    EXPECT_EQ(spanRegion(two, 20000, 10000, 100, true), (RegionSize{19452, 5804}));
    EXPECT_EQ(spanRegion(two, 20000, 10000, 50, false), (RegionSize{9726, 2902}));
    // The rate 1 makes it 486300 × 145100, shrunk to the width: 145100 × 20000 / 486300 = 5967.6.
    EXPECT_EQ(spanRegion(two, 20000, 10000, 0, false), (RegionSize{20000, 5968}));
    EXPECT_EQ(spanRegion(two, 1, 1, 100, false), (RegionSize{1, 1}));
    EXPECT_EQ(spanRegion(two, 0, 1000, 100, false), (RegionSize{}));
}

TEST(CutSet, SetMembersAreSingleCutsAroundTheMainFramesCentre)
{
    std::mt19937 random(11);
    const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    for (int round = 0; round < 3000; ++round) {
        const int pw = pick(1, 5000), ph = pick(1, 5000);
        const bool fit = round % 3 == 0;
        std::vector<PieceSize> sizes;
        for (int i = pick(1, 5); i > 0; --i)
            sizes.push_back({pick(kSetMinWidth, kSetMaxSide), pick(kSetMinHeight, kSetMaxSide)});
        // The main frame where the window may have left it, dragged anywhere inside.
        CutRequest request;
        request.width = sizes[0].width;
        request.height = sizes[0].height;
        request.rate = pick(1, 100);
        CutFrame main = cutFrameAt(pw, ph, request, {});
        main.origin = {pick(0, pw - main.width), pick(0, ph - main.height)};
        SCOPED_TRACE(testing::Message() << pw << "x" << ph << " round " << round);
        const auto pieces = setPieces(pw, ph, sizes, main, fit);
        ASSERT_EQ(pieces.size(), sizes.size());
        if (!fit) {
            EXPECT_EQ(pieces[0].region.origin, main.origin);
            EXPECT_EQ(pieces[0].region.width, main.width);
            EXPECT_EQ(pieces[0].region.height, main.height);
            EXPECT_EQ(pieces[0].region.rate, main.rate);
            EXPECT_FALSE(pieces[0].moved);
        }
        const IntPoint centre{main.origin.x + main.width / 2, main.origin.y + main.height / 2};
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            const SetPiece& p = pieces[i];
            const CutFrame& r = p.region;
            const PieceSize asked = sizes[i];
            EXPECT_EQ(p.suffix, "_" + std::to_string(asked.width) + "x" + std::to_string(asked.height));
            EXPECT_FALSE(p.part);
            ASSERT_TRUE(r.origin.x >= 0 && r.origin.y >= 0 && r.origin.x + r.width <= pw &&
                        r.origin.y + r.height <= ph);
            EXPECT_EQ(p.size, (PieceSize{reducedSize(r.rate, r.width), reducedSize(r.rate, r.height)}));
            EXPECT_LE(p.size.width, asked.width);
            EXPECT_LE(p.size.height, asked.height);
            if (cutsRegion(pw, ph, asked.width, asked.height)) {
                EXPECT_EQ(r.rate, fit ? fitRate(pw, ph, asked.width, asked.height)
                                      : std::max(main.rate, minimumRate(pw, ph, asked.width, asked.height)));
            } else {
                EXPECT_EQ(r.rate, 100);
                EXPECT_EQ(p.size, (PieceSize{pw, ph}));
            }
            // Off the centre only where the picture's edge pushed it, and then flush with that edge.
            const bool offX = r.width < pw && r.origin.x + r.width / 2 != centre.x;
            const bool offY = r.height < ph && r.origin.y + r.height / 2 != centre.y;
            EXPECT_EQ(p.moved, offX || offY);
            EXPECT_TRUE(!offX || r.origin.x == 0 || r.origin.x + r.width == pw);
            EXPECT_TRUE(!offY || r.origin.y == 0 || r.origin.y + r.height == ph);
        }
        if (pw * ph <= 300000 && round % 10 == 0) {
            const Bitmap src(pw, ph);
            for (const SetPiece& p : pieces) {
                const Bitmap piece = makeSetPiece(src, p);
                EXPECT_EQ(piece.width(), p.size.width);
                EXPECT_EQ(piece.height(), p.size.height);
            }
        }
    }

    // By hand: a main frame pushed to the right edge of a 1000 × 800 picture, centre (800, 400).
    const CutFrame main{{600, 250}, 400, 300, 100};
    const auto pieces = setPieces(1000, 800, {{200, 100}, {800, 300}, {1920, 1080}}, main, false);
    EXPECT_EQ(pieces[0].region.origin, (IntPoint{700, 350}));
    EXPECT_FALSE(pieces[0].moved);
    EXPECT_EQ(pieces[1].region.origin, (IntPoint{200, 250}));
    EXPECT_TRUE(pieces[1].moved);
    EXPECT_EQ(pieces[2].region.origin, (IntPoint{0, 0}));  // the whole picture, as large as it gets
    EXPECT_EQ(pieces[2].size, (PieceSize{1000, 800}));
    EXPECT_FALSE(pieces[2].moved);

    // Copied from a JPEG's blocks: each corner on the 16-pixel grid nearest to it, inside.
    auto snapped = pieces;
    snapSetPieces(LosslessGrid{16, 16, 0, 8}, 1000, 800, snapped);
    EXPECT_EQ(snapped[0].region.origin, (IntPoint{704, 344}));
    EXPECT_EQ(snapped[1].region.origin, (IntPoint{192, 248}));
    EXPECT_EQ(snapped[2].region.origin, (IntPoint{0, 0}));  // no grid point fits: left alone
    EXPECT_EQ(setPieces(0, 800, {{200, 100}}, main, false).size(), 0u);
}

TEST(CutSet, SpanPiecesShareTheRegionAsTheScreensShareTheDesk)
{
    const auto screens = parseSpanScreens(kTwoScreens).value();
    const SpanLayout two = layoutOf(kTwoScreens, 10);
    const auto pieces = spanPieces(two, screens, IntRect{10, 52, 3000, 895});
    ASSERT_EQ(pieces.size(), 2u);
    const double sx = 3000 / 1134.0, sy = 895 / 338.4140625;
    const PartRect a = *pieces[0].part, b = *pieces[1].part;
    EXPECT_NEAR(a.x, 10, 1e-9);
    EXPECT_NEAR(a.y, 52, 1e-9);
    EXPECT_NEAR(a.w, 597 * sx, 1e-9);
    EXPECT_NEAR(a.h, 335.8125 * sy, 1e-9);
    EXPECT_NEAR(b.x, 10 + 607 * sx, 1e-9);
    EXPECT_NEAR(b.y, 52 + 41.9765625 * sy, 1e-9);
    EXPECT_NEAR(b.x + b.w, 3010, 1e-9);
    EXPECT_NEAR(b.y + b.h, 947, 1e-9);
    EXPECT_EQ(pieces[0].size, (PieceSize{2560, 1440}));
    EXPECT_EQ(pieces[1].size, (PieceSize{1920, 1080}));
    EXPECT_EQ(pieces[0].suffix, "_2560x1440");
    EXPECT_EQ(pieces[1].suffix, "_1920x1080");

    const std::string three = "1920x1080+0+0/527,2560x1440+1920+0/597,1920x1080+4480+0/527";
    std::vector<std::string> suffixes;
    for (const SetPiece& p : spanPieces(layoutOf(three, 0), parseSpanScreens(three).value(), {0, 0, 500, 100}))
        suffixes.push_back(p.suffix);
    EXPECT_EQ(suffixes, (std::vector<std::string>{"_1920x1080_1", "_2560x1440", "_1920x1080_2"}));
    EXPECT_TRUE(spanPieces(two, {screens[0]}, {0, 0, 500, 100}).empty());
}

namespace {

// A picture and a span over it, the line drawn across the join between its two screens.
struct LineCase {
    std::string screens;
    bool sideBySide;       // the join is upright: the line is measured in columns, else in rows
    MmRect first, second;  // the screens' pictures on the desk, worked by hand
};

// Where a dark line crosses column (row) i of a piece: the centroid of its darkness.
double lineCentre(const Bitmap& piece, int i, bool inColumn)
{
    double sum = 0, moment = 0;
    const int n = inColumn ? piece.height() : piece.width();
    for (int j = 0; j < n; ++j) {
        const double dark = 255 - (inColumn ? piece.row(j)[3 * i + 1] : piece.row(i)[3 * j + 1]);
        sum += dark;
        moment += dark * (j + 0.5);
    }
    return sum > 0 ? moment / sum : -1;
}

struct MmPoint {
    double along, across;  // across the join, and along it
};

// The line's course on the desk in mm, in the columns (rows) [from, to) of a piece.
std::vector<MmPoint> lineOnDesk(const Bitmap& piece, const MmRect& r, double pitch, bool sideBySide, int from, int to)
{
    std::vector<MmPoint> points;
    for (int i = from; i < to; ++i) {
        const double centre = lineCentre(piece, i, sideBySide);
        EXPECT_GT(centre, 10);
        points.push_back(sideBySide ? MmPoint{r.x + (i + 0.5) * pitch, r.y + centre * pitch}
                                    : MmPoint{r.y + (i + 0.5) * pitch, r.x + centre * pitch});
    }
    return points;
}

}  // namespace

TEST(CutSet, ALineRunsStraightAcrossTheBezel)
{
    const std::vector<LineCase> cases{
        {kTwoScreens, true, {0, 0, 597, 335.8125}, {607, 41.9765625, 527, 296.4375}},
        {"1920x1080+0+0/527,2560x1440-320+1080/597",
         false,
         {320 * 527.0 / 1920, 0, 527, 296.4375},
         {0, 306.4375, 597, 335.8125}},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.screens);
        // A white picture with a 4-pixel line across it at a slope of 800 / 3000, antialiased
        // by the share of each pixel it covers; upright for screens one above the other.
        const int pw = c.sideBySide ? 3000 : 1000, ph = c.sideBySide ? 1000 : 3000;
        const double slope = 800.0 / 3000;
        Bitmap src(pw, ph);
        for (int y = 0; y < ph; ++y) {
            std::uint8_t* row = src.row(y);
            for (int x = 0; x < pw; ++x) {
                const int along = c.sideBySide ? x : y, across = c.sideBySide ? y : x;
                const double centre = 100 + slope * (along + 0.5);
                const double covered =
                    std::max(0.0, std::min(across + 1.0, centre + 2) - std::max(double(across), centre - 2));
                row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = std::uint8_t(std::lround(255 - 200 * covered));
            }
        }
        const auto screens = parseSpanScreens(c.screens).value();
        const SpanLayout layout = layoutOf(c.screens, 10);
        const RegionSize size = spanRegion(layout, pw, ph, 100, true);
        const IntRect region{(pw - size.width) / 2, (ph - size.height) / 2, size.width, size.height};
        const auto pieces = spanPieces(layout, screens, region);
        ASSERT_EQ(pieces.size(), 2u);
        const Bitmap first = makeSetPiece(src, pieces[0]);
        const Bitmap second = makeSetPiece(src, pieces[1]);
        ASSERT_EQ(first.width(), screens[0].width);
        ASSERT_EQ(first.height(), screens[0].height);
        ASSERT_EQ(second.width(), screens[1].width);
        ASSERT_EQ(second.height(), screens[1].height);

        const double pitch0 = screens[0].widthMm / screens[0].width, pitch1 = screens[1].widthMm / screens[1].width;
        const int end0 = c.sideBySide ? first.width() : first.height();
        const auto before = lineOnDesk(first, c.first, pitch0, c.sideBySide, end0 - 300, end0);
        const auto after = lineOnDesk(second, c.second, pitch1, c.sideBySide, 0, 300);
        // The line as the first screen shows it, by least squares, carried on across the gap.
        double sx = 0, sy = 0, sxx = 0, sxy = 0;
        for (const MmPoint& p : before) {
            sx += p.along, sy += p.across, sxx += p.along * p.along, sxy += p.along * p.across;
        }
        const double n = double(before.size());
        const double b = (n * sxy - sx * sy) / (n * sxx - sx * sx);
        const double a = (sy - b * sx) / n;
        const double coarser = std::max(pitch0, pitch1);
        for (const MmPoint& p : before)
            ASSERT_NEAR(p.across, a + b * p.along, coarser) << p.along;
        for (const MmPoint& p : after)
            ASSERT_NEAR(p.across, a + b * p.along, coarser) << p.along;
    }
}
