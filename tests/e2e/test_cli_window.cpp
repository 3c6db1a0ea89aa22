// The built trimlet-cli and the main window run the same steps on the same files; the two
// results must be the same pictures, and the files they save the same bytes.

#include <QtTest>

#include <QAbstractButton>
#include <QButtonGroup>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>
#include <QTabWidget>
#include <QToolButton>
#include <cstdio>
#include <filesystem>
#include <png.h>

#include "codecs/picture_file.h"
#include "forms/about/frm_about_box.h"
#include "forms/main/work_area_widgets.h"
#include "forms/preview/frm_preview.h"
#include "forms/rotation/frm_rot_free.h"
#include "forms/widgets/up_down.h"
#include "imaging/cut_geometry.h"
#include "tests/forms/fake_desktop.h"
#include "tests/forms/test_main_window.h"
#include "tests/support/test_support.h"

using namespace trimlet;
namespace fs = std::filesystem;

namespace {

struct CliRun {
    int status = -1;
    QString out, err;
};

CliRun runCli(const std::vector<std::string>& args)
{
    QStringList list;
    for (const std::string& a : args)
        list << QString::fromStdString(a);
    QProcess process;
    process.start(QStringLiteral(TRIMLET_CLI), list);
    CliRun r;
    if (!process.waitForFinished(120000))
        return r;
    r.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    r.out = QString::fromUtf8(process.readAllStandardOutput());
    r.err = QString::fromUtf8(process.readAllStandardError());
    return r;
}

// Runs trimlet-cli on input with the steps into a BMP file and gives the written picture.
Bitmap cliPicture(const test::TempDir& dir, const std::string& input, std::vector<std::string> steps)
{
    const std::string out = dir.file("cli.bmp");
    steps.insert(steps.begin(), input);
    steps.insert(steps.end(), {"--output", out, "--force"});
    const CliRun r = runCli(steps);
    if (r.status != 0) {
        qWarning("trimlet-cli failed (%d): %s", r.status, qPrintable(r.err));
        return {};
    }
    return loadPictureAsStored(out).value().bitmap();
}

// Empty when the tool wrote a picture equal to the window's, else what differs first.
QString mismatch(const Bitmap& cli, const Bitmap& window)
{
    if (cli.empty())
        return QStringLiteral("no picture from trimlet-cli");
    if (cli.width() != window.width() || cli.height() != window.height())
        return QStringLiteral("sizes %1x%2 and %3x%4")
            .arg(cli.width())
            .arg(cli.height())
            .arg(window.width())
            .arg(window.height());
    for (int y = 0; y < cli.height(); ++y)
        for (int x = 0; x < cli.width(); ++x)
            if (test::pixelAt(cli, x, y) != test::pixelAt(window, x, y))
                return QStringLiteral("pixel (%1, %2): %3 and %4")
                    .arg(x)
                    .arg(y)
                    .arg(test::pixelAt(cli, x, y), 6, 16, QLatin1Char('0'))
                    .arg(test::pixelAt(window, x, y), 6, 16, QLatin1Char('0'));
    return {};
}

void verifySame(const Bitmap& cli, const Bitmap& window, const std::string& what)
{
    const QString found = mismatch(cli, window);
    QVERIFY2(found.isEmpty(), qPrintable(QString::fromStdString(what) + QStringLiteral(": ") + found));
}

// An RGB PNG in which every pixel of the colour key (0xRRGGBB) is transparent.
void writeKeyedPng(const Bitmap& bitmap, std::uint32_t key, const std::string& path)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        qFatal("cannot write %s", path.c_str());
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(bitmap.width()), png_uint_32(bitmap.height()), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color_16 colour{};
    colour.red = png_uint_16(key >> 16 & 0xFF);
    colour.green = png_uint_16(key >> 8 & 0xFF);
    colour.blue = png_uint_16(key & 0xFF);
    png_set_tRNS(png, info, nullptr, 0, &colour);
    png_write_info(png, info);
    std::vector<png_byte> row(std::size_t(bitmap.width()) * 3);
    for (int y = 0; y < bitmap.height(); ++y) {
        for (int x = 0; x < bitmap.width(); ++x) {
            row[3 * x] = bitmap.row(y)[3 * x + 2];
            row[3 * x + 1] = bitmap.row(y)[3 * x + 1];
            row[3 * x + 2] = bitmap.row(y)[3 * x];
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

// A photo-like picture with a diagonal pattern and a corner block in the key colour.
Bitmap withKeyColour(Bitmap bitmap, std::uint32_t key)
{
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x)
            if ((x + 2 * y) % 7 == 0 || (x < 5 && y < 4)) {
                std::uint8_t* p = bitmap.row(y) + 3 * x;
                p[0] = std::uint8_t(key);
                p[1] = std::uint8_t(key >> 8);
                p[2] = std::uint8_t(key >> 16);
            }
    return bitmap;
}

// The main window with its preview and free-rotation windows, wired as the program does.
struct Window : test::MainWithPreview {
    TfrmRotFree rotFree;

    Window()
    {
        frm.setRotFreeWindow(&rotFree);
        frm.show();
    }
    // Opens the file as the document, from the file page so that it is never joined.
    void load(const std::string& path)
    {
        frm.pcEdit->setCurrentWidget(frm.tabFile);
        frm.LoadPictureFile(QString::fromStdString(path));
    }
    const Bitmap& picture() const { return frm.editingPicture().bitmap(); }
    // Types a value into a field and leaves it, as a person does.
    void type(QLineEdit* edit, int value)
    {
        edit->setText(QString::number(value));
        frm.edtExit(edit);
    }
    void setCutSize(int width, int height, int rate)
    {
        type(frm.edtSizeW, width);
        type(frm.edtSizeH, height);
        type(frm.edtPower, rate);
    }
    // Presses the button unless it is down already.
    static void press(QAbstractButton* button)
    {
        if (!button->isChecked())
            button->click();
    }
};

const std::uint32_t kKey = 0x00FF00;

}  // namespace

// Each side saves beside its own copy of the picture, so both number from (1); the window
// frames a 40 x 32 cut at 50 % centred on (60, 40), as "--cut 40x32@50+60,40" does.
struct SideBySide {
    test::TempDir cliDir, windowDir;
    std::string cliInput, windowInput;
    Window w;

    explicit SideBySide(const std::string& picture)
        : cliInput(cliDir.file("photo.bmp")), windowInput(windowDir.file("photo.bmp"))
    {
        fs::copy_file(picture, cliInput);
        fs::copy_file(picture, windowInput);
        w.setCutSize(40, 32, 50);
        w.load(windowInput);
        w.frm.frameState().centre.x = 60;
        w.frm.frameState().centre.y = 40;
        w.frm.PlaceCutFrame(false);
    }
};

class CliWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void versionIsTheWindows();
    void turnsAndFlips();
    void freeRotation();
    void joinsOnEverySideWithEachAlignment();
    void cuts();
    void cutsAtTheWindowsOrigin();
    void jpegCutAndSerialSaves();
    void pngAndWebpCutsAndSerialSaves();

private:
    test::TempDir dir_;
    std::string photo_, keyed_, keyedAdded_, large_;
};

void CliWindowTest::initTestCase()
{
    photo_ = dir_.file("photo.bmp");
    QVERIFY(writeBmpFile(test::photoLike(37, 23), photo_));
    large_ = dir_.file("large.bmp");
    QVERIFY(writeBmpFile(test::photoLike(157, 111, 3), large_));
    keyed_ = dir_.file("keyed.png");
    writeKeyedPng(withKeyColour(test::photoLike(37, 23, 5), kKey), kKey, keyed_);
    keyedAdded_ = dir_.file("added.png");
    writeKeyedPng(withKeyColour(test::photoLike(19, 31, 9), kKey), kKey, keyedAdded_);
    const auto loaded = loadPictureAsStored(keyed_);
    QVERIFY(loaded && loaded.value().hasTransparency());
}

void CliWindowTest::versionIsTheWindows()
{
    const CliRun version = runCli({"--version"});
    QCOMPARE(version.status, 0);
    QVERIFY(!ReadFileVersion().isEmpty());
    QCOMPARE(version.out, QStringLiteral("trimlet-cli ") + ReadFileVersion() + QLatin1Char('\n'));
    const CliRun help = runCli({"--help"});
    QCOMPARE(help.status, 0);
    QVERIFY(help.out.startsWith(QStringLiteral("usage: trimlet-cli")));
    QVERIFY(help.err.isEmpty());
}

void CliWindowTest::turnsAndFlips()
{
    using Button = QPushButton* test::TestMain::*;
    const struct {
        std::vector<std::string> steps;
        std::vector<Button> buttons;
    } cases[] = {
        {{"--turn", "right"}, {&test::TestMain::btnRotR}},
        {{"--turn", "left"}, {&test::TestMain::btnRotL}},
        {{"--turn", "180"}, {&test::TestMain::btnRot180}},
        {{"--flip", "vertical"}, {&test::TestMain::btnRevH}},
        {{"--flip", "horizontal"}, {&test::TestMain::btnRevW}},
        {{"--turn", "right", "--flip", "vertical", "--turn", "180", "--flip", "horizontal", "--turn", "right"},
         {&test::TestMain::btnRotR, &test::TestMain::btnRevH, &test::TestMain::btnRot180, &test::TestMain::btnRevW,
          &test::TestMain::btnRotR}},
    };
    Window w;
    for (const auto& c : cases) {
        w.load(photo_);
        for (Button button : c.buttons)
            (w.frm.*button)->click();
        verifySame(cliPicture(dir_, photo_, c.steps), w.picture(), c.steps[1]);
    }
    QVERIFY(w.fake.messages.empty());
}

void CliWindowTest::freeRotation()
{
    Window w;
    w.frm.setBackgroundColour(QColor(0x33, 0x66, 0x99));
    for (int degrees : {30, -150}) {
        w.load(photo_);
        w.rotFree.setPicture(w.frm.editingPicture());
        w.rotFree.setBackgroundColour(w.frm.backgroundColour());
        w.rotFree.setPreviewBase(w.picture());
        w.rotFree.show();
        w.rotFree.udDegree->setPosition(degrees);
        w.rotFree.btnOK->click();
        QVERIFY(!w.rotFree.isVisible());
        verifySame(cliPicture(dir_, photo_, {"--rotate", std::to_string(degrees), "--background", "336699"}),
                   w.picture(), std::to_string(degrees));
    }
    QVERIFY(w.fake.messages.empty());
}

void CliWindowTest::joinsOnEverySideWithEachAlignment()
{
    Window w;
    w.frm.setBackgroundColour(QColor(0x20, 0x40, 0x60));
    const Picture added = loadPictureAsStored(keyedAdded_).value();
    // Client points just inside each edge of the work area, between the command band and the
    // console.
    const int width = w.frm.centralWidget()->width();
    const int top = w.frm.pnlButton->height(), bottom = w.frm.pnlConsole->y();
    const int middle = (top + bottom) / 2;
    const struct {
        const char* side;
        QPoint point;
        const char* alignOption;
        std::pair<const char*, QToolButton * test::TestMain::*> alignments[4];
    } sides[] = {
        {"left",
         {2, middle},
         "--align-h",
         {{"top", &test::TestMain::spdTop},
          {"centre", &test::TestMain::spdTopBottom},
          {"bottom", &test::TestMain::spdBottom},
          {"trim", &test::TestMain::spdTopBottomCut}}},
        {"right",
         {width - 3, middle},
         "--align-h",
         {{"top", &test::TestMain::spdTop},
          {"centre", &test::TestMain::spdTopBottom},
          {"bottom", &test::TestMain::spdBottom},
          {"trim", &test::TestMain::spdTopBottomCut}}},
        {"top",
         {width / 2, top + 2},
         "--align-v",
         {{"left", &test::TestMain::spdLeft},
          {"centre", &test::TestMain::spdLeftRight},
          {"right", &test::TestMain::spdRight},
          {"trim", &test::TestMain::spdLeftRightCut}}},
        {"bottom",
         {width / 2, bottom - 3},
         "--align-v",
         {{"left", &test::TestMain::spdLeft},
          {"centre", &test::TestMain::spdLeftRight},
          {"right", &test::TestMain::spdRight},
          {"trim", &test::TestMain::spdLeftRightCut}}},
    };
    for (const auto& s : sides)
        for (const auto& [alignment, button] : s.alignments) {
            w.load(keyed_);
            w.frm.pcEdit->setCurrentWidget(w.frm.tabConcat);
            Window::press(w.frm.*button);
            w.frm.ConcatenatePicture(added, s.point);
            const std::vector<std::string> steps{
                "--join", keyedAdded_ + ":" + s.side, s.alignOption, alignment, "--background", "204060"};
            verifySame(cliPicture(dir_, keyed_, steps), w.picture(), std::string(s.side) + " " + alignment);
        }
    QVERIFY(w.fake.messages.empty());
}

void CliWindowTest::cuts()
{
    // A case for each way the steps differ; other placements are compared in document tests.
    const struct {
        const std::string& input;
        int width, height, rate;
        std::optional<QPoint> centre;
    } cases[] = {
        {large_, 40, 32, 50, {}},              // centred, halved
        {large_, 40, 32, 50, QPoint(30, 20)},  // near a corner: pulled inside
        {large_, 24, 32, 10, {}},              // raised to the picture's lowest rate
        {large_, 200, 200, 100, {}},           // larger than the picture: all of it
        {photo_, 24, 32, 100, {}},             // narrower but taller than the picture
        {large_, 200, 40, 100, QPoint(3, 3)},  // wider but lower
    };
    Window w;
    for (const auto& c : cases) {
        std::string cut = std::to_string(c.width) + "x" + std::to_string(c.height) + "@" + std::to_string(c.rate);
        // The size is set before opening, so the frame starts in the middle as on any opening.
        w.setCutSize(c.width, c.height, c.rate);
        w.load(c.input);
        // Shown unscaled, as the tool assumes.
        QCOMPARE(w.frm.imgSource->size(), QSize(w.frm.editingPicture().width(), w.frm.editingPicture().height()));
        if (c.centre) {
            cut += "+" + std::to_string(c.centre->x()) + "," + std::to_string(c.centre->y());
            w.frm.frameState().centre.x = c.centre->x();
            w.frm.frameState().centre.y = c.centre->y();
            w.frm.PlaceCutFrame(false);
        }
        w.frm.outputCut(OutputMode::CutOnly);
        verifySame(cliPicture(dir_, c.input, {"--cut", cut}), test::lastOutput(w.frm).cutResult().bitmap(), cut);
    }
    QVERIFY(w.fake.messages.empty());
}

void CliWindowTest::cutsAtTheWindowsOrigin()
{
    // A picture the window shows reduced, so its frame stands on display pixels: the tool
    // repeats each cut exactly from the origin in picture pixels, WxH@RATE:X,Y.
    const int pw = 1201, ph = 901;
    const std::string big = dir_.file("big.bmp");
    QVERIFY(writeBmpFile(test::noisePicture(pw, ph, 4), big));
    const struct {
        int width, height, rate;
        QPoint centre;
    } cases[] = {
        {640, 480, 50, {700, 500}},     // reduced, off the middle
        {240, 320, 100, {1190, 10}},    // unreduced, pushed into the corner
        {333, 1000, 37, {333, 777}},    // odd sizes and rate
        {1100, 1000, 100, {600, 450}},  // taller than the picture: clipped at its edge
    };
    Window w;
    for (const auto& c : cases) {
        w.setCutSize(c.width, c.height, c.rate);
        w.load(big);
        QVERIFY(w.frm.imgSource->width() < pw);
        w.frm.frameState().centre.x = c.centre.x();
        w.frm.frameState().centre.y = c.centre.y();
        w.frm.PlaceCutFrame(false);
        // The cut as the status line names it after 枠内コピー, for the user to copy.
        w.frm.btnCopy->click();
        const QString status = w.frm.statusText();
        // The piece's size follows the cut when it is smaller than the cut size (the clipped case).
        const qsizetype from = status.indexOf(QStringLiteral("--cut ")),
                        to = status.indexOf(QRegularExpression(QStringLiteral("[、）]")), from);
        QVERIFY2(from >= 0 && to > from, qPrintable(status));
        QCOMPARE(status.contains(QStringLiteral("、実サイズ ")), c.height > ph);
        const std::string cut = status.mid(from + 6, to - from - 6).toStdString();
        const QRect d = w.frm.imgSource->geometry(), f = w.frm.shpRange->geometry();
        const IntPoint origin = cutOrigin({f.x(), f.y(), f.width(), f.height()}, {d.x(), d.y(), d.width(), d.height()},
                                          pw, ph, w.frm.frameState().cutSrcWidth, w.frm.frameState().cutSrcHeight);
        QCOMPARE(cut, std::to_string(c.width) + "x" + std::to_string(c.height) + "@" +
                          std::to_string(w.frm.udPower->position()) + ":" + std::to_string(origin.x) + "," +
                          std::to_string(origin.y));
        verifySame(cliPicture(dir_, big, {"--cut", cut}), test::lastOutput(w.frm).cutResult().bitmap(), cut);
    }
    QVERIFY(w.fake.messages.empty());
}

void CliWindowTest::jpegCutAndSerialSaves()
{
    SideBySide both(large_);
    test::TempDir& cliDir = both.cliDir;
    test::TempDir& windowDir = both.windowDir;
    const std::string& cliInput = both.cliInput;
    Window& w = both.w;
    w.frm.tbarQual->setValue(90);
    w.frm.rdgpFormatItems->button(0)->click();
    w.frm.rdgpTailItems->button(0)->click();

    // The preview's JPEG, the window's serial save and the tool's output are the same bytes.
    const std::string jpeg = cliDir.file("cut.jpg");
    const std::vector<std::string> cut{"--cut", "40x32@50+60,40", "--quality", "90"};
    std::vector<std::string> args{cliInput, "--output", jpeg};
    args.insert(args.end(), cut.begin(), cut.end());
    QCOMPARE(runCli(args).status, 0);
    w.frm.outputCut(OutputMode::CutOnly);
    QVERIFY(test::readBytes(jpeg) == test::lastOutput(w.frm).output().decoded.fileBytes());

    args = {cliInput, "--save"};
    args.insert(args.end(), cut.begin(), cut.end());
    const CliRun saved = runCli(args);
    QCOMPARE(saved.status, 0);
    QCOMPARE(saved.out, QString::fromStdString(cliDir.file("photo(1).jpg")) + QLatin1Char('\n'));
    w.frm.btnSave->click();
    QVERIFY(test::fileExists(windowDir.file("photo(1).jpg")));
    QVERIFY(test::readBytes(windowDir.file("photo(1).jpg")) == test::readBytes(cliDir.file("photo(1).jpg")));

    // The whole turned picture as a BMP under a hyphen serial name.
    const CliRun bmp = runCli({cliInput, "--turn", "right", "--save", "--format", "bmp", "--tail", "hyphen"});
    QCOMPARE(bmp.status, 0);
    QCOMPARE(bmp.out, QString::fromStdString(cliDir.file("photo-1.bmp")) + QLatin1Char('\n'));
    w.frm.btnRotR->click();
    w.frm.rdgpFormatItems->button(1)->click();
    w.frm.rdgpTailItems->button(1)->click();
    w.frm.btnQuickSave->click();
    QVERIFY(test::fileExists(windowDir.file("photo-1.bmp")));
    QVERIFY(test::readBytes(windowDir.file("photo-1.bmp")) == test::readBytes(cliDir.file("photo-1.bmp")));
    QVERIFY(w.fake.messages.empty());
}

void CliWindowTest::pngAndWebpCutsAndSerialSaves()
{
    SideBySide both(large_);
    test::TempDir& cliDir = both.cliDir;
    test::TempDir& windowDir = both.windowDir;
    const std::string& cliInput = both.cliInput;
    Window& w = both.w;
    w.frm.tbarQual->setValue(70);
    w.frm.rdgpTailItems->button(0)->click();
    const std::vector<std::string> cut{"--cut", "40x32@50+60,40", "--quality", "70"};

    // WebP: the bytes the preview measured are the tool's and the window's saved file.
    w.frm.rdgpFormatItems->button(3)->click();
    std::vector<std::string> args{cliInput, "--output", cliDir.file("cut.webp")};
    args.insert(args.end(), cut.begin(), cut.end());
    QCOMPARE(runCli(args).status, 0);
    w.frm.outputCut(OutputMode::CutOnly);
    QVERIFY(test::readBytes(cliDir.file("cut.webp")) == test::lastOutput(w.frm).output().fileBytes());
    args = {cliInput, "--save", "--format", "webp"};
    args.insert(args.end(), cut.begin(), cut.end());
    const CliRun webp = runCli(args);
    QCOMPARE(webp.status, 0);
    QCOMPARE(webp.out, QString::fromStdString(cliDir.file("photo(1).webp")) + QLatin1Char('\n'));
    w.frm.btnSave->click();
    QVERIFY(test::readBytes(windowDir.file("photo(1).webp")) == test::readBytes(cliDir.file("photo(1).webp")));

    // PNG of the whole turned picture under a hyphen serial name.
    const CliRun png = runCli({cliInput, "--turn", "left", "--save", "--format", "png", "--tail", "hyphen"});
    QCOMPARE(png.status, 0);
    QCOMPARE(png.out, QString::fromStdString(cliDir.file("photo-1.png")) + QLatin1Char('\n'));
    w.frm.btnRotL->click();
    w.frm.rdgpFormatItems->button(2)->click();
    w.frm.rdgpTailItems->button(1)->click();
    w.frm.btnQuickSave->click();
    QVERIFY(test::readBytes(windowDir.file("photo-1.png")) == test::readBytes(cliDir.file("photo-1.png")));
    verifySame(loadPictureAsStored(cliDir.file("photo-1.png")).value().bitmap(),
               cliPicture(cliDir, cliInput, {"--turn", "left"}), "png");
    QVERIFY(w.fake.messages.empty());
}

QTEST_MAIN(CliWindowTest)
#include "test_cli_window.moc"
