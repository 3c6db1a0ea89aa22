// The work area between the command band and the console: where the picture, its frame and
// joined pictures go, measured from the band's and the console's widgets.

#include <QtTest>

#include <QButtonGroup>
#include <QGroupBox>
#include <QLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>

#include "codecs/picture_file.h"
#include "forms/main/frm_main.h"
#include "forms/main/work_area_widgets.h"
#include "tests/forms/fake_desktop.h"
#include "tests/forms/test_main_window.h"
#include "tests/support/test_support.h"

using namespace trimlet;

namespace {

Bitmap filled(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    Bitmap bitmap(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = bitmap.row(y) + 3 * x;
            p[0] = r;
            p[1] = g;
            p[2] = b;
        }
    return bitmap;
}

// The work area as the user sees it: below the band's widget, above the console's.
QRect visibleWorkArea(const test::TestMain& frm)
{
    const int top = frm.pnlButton->geometry().bottom() + 1;
    return QRect(0, top, frm.centralWidget()->width(), frm.pnlConsole->y() - top);
}

enum class Side { Top, Bottom, Left, Right };

// The triangle between the work area's diagonals that holds p; points on a diagonal are not asked.
Side expectedSide(const QRect& a, const QPoint& p)
{
    // Signs of p against the diagonal from top-left to bottom-right and the one from
    // bottom-left to top-right, in integers.
    const std::int64_t dx = p.x() - a.x(), dy = p.y() - a.y();
    const bool belowMain = dy * a.width() > dx * a.height();
    const bool belowAnti = dy * a.width() > (std::int64_t(a.width()) - dx) * a.height();
    if (belowMain && belowAnti)
        return Side::Bottom;
    if (!belowMain && !belowAnti)
        return Side::Top;
    return belowMain ? Side::Left : Side::Right;
}

bool onDiagonal(const QRect& a, const QPoint& p)
{
    const std::int64_t dx = p.x() - a.x(), dy = p.y() - a.y();
    const std::int64_t main = dy * a.width() - dx * a.height();
    const std::int64_t anti = dy * a.width() - (std::int64_t(a.width()) - dx) * a.height();
    const std::int64_t near = std::int64_t(a.width()) * 1;  // within a pixel row of it
    return std::abs(main) <= near || std::abs(anti) <= near;
}

}  // namespace

class FrmMainLayoutTest : public QObject {
    Q_OBJECT
private slots:
    void joinedPictureLandsOnTheSideOfTheDrop();
    void pictureAndFrameStayBetweenBandAndConsole();
    void frameComesBackAfterEnlargingAndRestoring();
    void alignmentButtonsLineUpTheJoinedPictures();
    void consoleFitsTheSmallestWindowWithEveryFormat();
};

void FrmMainLayoutTest::joinedPictureLandsOnTheSideOfTheDrop()
{
    test::FakeDesktop fake;
    test::TestMain frm;
    frm.resize(1000, 640);
    frm.show();
    frm.pcEdit->setCurrentWidget(frm.tabConcat);
    const QRect a = visibleWorkArea(frm);
    QVERIFY(a.top() > 0 && a.height() > 100);

    // A 5 × 5 grid over the work area with its edges, points just off both diagonals near
    // the corners and the middle, and the corners themselves.
    std::vector<QPoint> drops;
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 5; ++j)
            drops.emplace_back(a.x() + 1 + (a.width() - 3) * i / 4, a.y() + 1 + (a.height() - 3) * j / 4);
    for (int t : {6, 25, 50, 75, 94}) {
        const int x = a.x() + a.width() * t / 100;
        const int yMain = a.y() + a.height() * t / 100, yAnti = a.y() + a.height() * (100 - t) / 100;
        for (int off : {-4, 4}) {
            drops.emplace_back(x, yMain + off);
            drops.emplace_back(x, yAnti + off);
        }
    }
    for (const QPoint& c : {a.topLeft(), a.topRight(), a.bottomLeft(), a.bottomRight()})
        for (const QPoint& in : {QPoint(6, 2), QPoint(2, 6), QPoint(-6, 2), QPoint(-2, 6), QPoint(6, -2), QPoint(2, -6),
                                 QPoint(-6, -2), QPoint(-2, -6)})
            if (a.contains(c + in))
                drops.push_back(c + in);

    const Bitmap base = filled(120, 80, 200, 30, 30);
    const Picture added(filled(120, 80, 20, 40, 220));
    int asked = 0;
    for (const QPoint& p : drops) {
        if (onDiagonal(a, p))
            continue;
        ++asked;
        frm.setEditingPicture(Picture(base));
        QVERIFY(frm.ConcatenatePicture(added, p));
        const Bitmap& joined = frm.editingPicture().bitmap();
        const Side side = expectedSide(a, p);
        const bool vertical = side == Side::Top || side == Side::Bottom;
        const QString where = QStringLiteral("drop at %1,%2").arg(p.x()).arg(p.y());
        QVERIFY2(joined.width() == (vertical ? 120 : 240) && joined.height() == (vertical ? 160 : 80),
                 qPrintable(where));
        // The added picture's blue is found on the expected half, the base's red on the other.
        const QPoint addedAt = side == Side::Top      ? QPoint(60, 40)
                               : side == Side::Bottom ? QPoint(60, 120)
                               : side == Side::Left   ? QPoint(60, 40)
                                                      : QPoint(180, 40);
        const QPoint baseAt = side == Side::Top      ? QPoint(60, 120)
                              : side == Side::Bottom ? QPoint(60, 40)
                              : side == Side::Left   ? QPoint(180, 40)
                                                     : QPoint(60, 40);
        QVERIFY2(test::pixelAt(joined, addedAt.x(), addedAt.y()) == 0xDC2814u, qPrintable(where));
        QVERIFY2(test::pixelAt(joined, baseAt.x(), baseAt.y()) == 0x1E1EC8u, qPrintable(where));
    }
    QVERIFY(asked >= 40);
    QVERIFY(fake.messages.empty());
}

void FrmMainLayoutTest::pictureAndFrameStayBetweenBandAndConsole()
{
    test::FakeDesktop fake;
    test::TempDir dir;
    test::TestMain frm;
    frm.resize(900, 600);
    frm.show();
    const QRect a = visibleWorkArea(frm);
    QCOMPARE(frm.lblNotice->geometry(), a);

    // Taller than the work area: the picture fills its height exactly, centred across.
    const std::string tall = dir.file("tall.bmp");
    QVERIFY(writeBmpFile(test::photoLike(300, 2000), tall));
    frm.edtSizeW->setText(QStringLiteral("100"));
    frm.edtSizeH->setText(QStringLiteral("100"));
    frm.LoadPictureFile(QString::fromStdString(tall));
    QRect d = frm.imgSource->geometry();
    QCOMPARE(d.top(), a.top());
    QCOMPARE(d.bottom(), a.bottom());
    QVERIFY(std::abs(d.center().x() - a.center().x()) <= 1);
    QVERIFY(d.contains(frm.shpRange->geometry()));
    QVERIFY(std::abs(frm.shpRange->geometry().center().y() - a.center().y()) <= 1);

    // Smaller than the work area: shown at its size in the middle of it, the frame over it.
    const std::string small = dir.file("small.bmp");
    QVERIFY(writeBmpFile(test::photoLike(200, 120), small));
    frm.LoadPictureFile(QString::fromStdString(small));
    d = frm.imgSource->geometry();
    QCOMPARE(d.size(), QSize(200, 120));
    QVERIFY(std::abs(d.center().x() - a.center().x()) <= 1);
    QVERIFY(std::abs(d.center().y() - a.center().y()) <= 1);
    QVERIFY(d.contains(frm.shpRange->geometry()));

    // The file name sits at the work area's bottom edge, not under the console.
    QVERIFY(frm.lblFileNameF->geometry().bottom() <= a.bottom());
    QVERIFY(frm.lblFileNameF->geometry().bottom() >= a.bottom() - 8);
    QVERIFY(fake.messages.empty());
}

void FrmMainLayoutTest::frameComesBackAfterEnlargingAndRestoring()
{
    test::FakeDesktop fake;
    test::TempDir dir;
    test::TestMain frm;
    frm.show();
    frm.edtSizeW->setText(QStringLiteral("240"));
    frm.edtSizeH->setText(QStringLiteral("180"));
    frm.edtPower->setText(QStringLiteral("100"));
    const int pw = 1600, ph = 1200;
    const std::string path = dir.file("photo.bmp");
    QVERIFY(writeBmpFile(test::photoLike(pw, ph), path));
    frm.LoadPictureFile(QString::fromStdString(path));

    // The frame dragged off the middle, as a user leaves it.
    const QPoint grab(2, 2), by(-37, 21);
    QTest::mousePress(frm.shpRange, Qt::LeftButton, {}, grab);
    QMouseEvent move(QEvent::MouseMove, QPointF(grab + by), frm.shpRange->mapToGlobal(QPointF(grab + by)), Qt::NoButton,
                     Qt::LeftButton, {});
    QApplication::sendEvent(frm.shpRange, &move);
    QTest::mouseRelease(frm.shpRange, Qt::LeftButton, {}, grab + by);
    const QSize original = frm.size();
    const QRect frame = frm.shpRange->geometry();
    const IntPoint centre = frm.frameState().centre;
    const int cutW = frm.frameState().cutSrcWidth;

    auto resizeTo = [&](QSize s) {
        frm.resize(s);
        frm.tmrCheckResizeTimer();  // sees the resize
        frm.tmrCheckResizeTimer();  // quiet tick: relayout
    };
    resizeTo(QSize(1400, 900));
    // Larger, the frame stands on the same picture point and for the same picture pixels.
    const QRect d = frm.imgSource->geometry();
    QVERIFY(d.width() > 600);
    const QPoint at = frm.shpRange->geometry().center();
    QVERIFY(std::abs(at.x() - (d.x() + centre.x * d.width() / pw)) <= 2);
    QVERIFY(std::abs(at.y() - (d.y() + centre.y * d.height() / ph)) <= 2);
    QCOMPARE(frm.frameState().cutSrcWidth, cutW);

    resizeTo(original);
    // Back where it was: the size exactly, the corner within the centre's rounding (a
    // display pixel), and the remembered centre unchanged.
    QCOMPARE(frm.shpRange->size(), frame.size());
    QVERIFY(std::abs(frm.shpRange->x() - frame.x()) <= 1);
    QVERIFY(std::abs(frm.shpRange->y() - frame.y()) <= 1);
    QCOMPARE(frm.frameState().centre, centre);
    QVERIFY(fake.messages.empty());
}

void FrmMainLayoutTest::alignmentButtonsLineUpTheJoinedPictures()
{
    test::FakeDesktop fake;
    test::TestMain frm;
    frm.resize(1000, 640);
    frm.show();
    frm.pcEdit->setCurrentWidget(frm.tabConcat);
    frm.setBackgroundColour(QColor(0, 255, 0));
    frm.SetEditingEnabled(true);
    const QRect a = visibleWorkArea(frm);
    const QPoint right(a.right() - 4, a.center().y()), below(a.center().x(), a.bottom() - 4);
    const Bitmap base = filled(120, 80, 200, 30, 30);
    const Bitmap small = filled(60, 40, 20, 40, 220);
    const std::uint32_t red = test::pixelAt(base, 0, 0), blue = test::pixelAt(small, 0, 0), green = 0x00FF00u;

    // Added on the right, 40 rows beside 80: its rows start at 0, 20 or 40, or the base is trimmed to them.
    const std::pair<QToolButton*, int> rows[] = {
        {frm.spdTop, 0}, {frm.spdTopBottom, 20}, {frm.spdBottom, 40}, {frm.spdTopBottomCut, -1}};
    for (const auto& [button, top] : rows) {
        if (!button->isChecked())
            button->click();
        frm.setEditingPicture(Picture(base));
        QVERIFY(frm.ConcatenatePicture(Picture(small), right));
        const Bitmap& joined = frm.editingPicture().bitmap();
        const QString name = button->objectName();
        if (top < 0) {
            QVERIFY2(joined.width() == 180 && joined.height() == 40, qPrintable(name));
            QVERIFY2(test::pixelAt(joined, 150, 0) == blue && test::pixelAt(joined, 10, 39) == red, qPrintable(name));
            continue;
        }
        QVERIFY2(joined.width() == 180 && joined.height() == 80, qPrintable(name));
        for (int y : {0, 19, 20, 39, 40, 59, 60, 79})
            QVERIFY2(test::pixelAt(joined, 150, y) == (y >= top && y < top + 40 ? blue : green),
                     qPrintable(name + QStringLiteral(" row %1").arg(y)));
        QVERIFY2(test::pixelAt(joined, 10, 79) == red, qPrintable(name));
    }

    // Added below, 60 columns under 120: they start at 0, 30 or 60, or the base is trimmed to them.
    const std::pair<QToolButton*, int> columns[] = {
        {frm.spdLeft, 0}, {frm.spdLeftRight, 30}, {frm.spdRight, 60}, {frm.spdLeftRightCut, -1}};
    for (const auto& [button, left] : columns) {
        if (!button->isChecked())
            button->click();
        frm.setEditingPicture(Picture(base));
        QVERIFY(frm.ConcatenatePicture(Picture(small), below));
        const Bitmap& joined = frm.editingPicture().bitmap();
        const QString name = button->objectName();
        if (left < 0) {
            QVERIFY2(joined.width() == 60 && joined.height() == 120, qPrintable(name));
            QVERIFY2(test::pixelAt(joined, 0, 100) == blue && test::pixelAt(joined, 59, 10) == red, qPrintable(name));
            continue;
        }
        QVERIFY2(joined.width() == 120 && joined.height() == 120, qPrintable(name));
        for (int x : {0, 29, 30, 59, 60, 89, 90, 119})
            QVERIFY2(test::pixelAt(joined, x, 100) == (x >= left && x < left + 60 ? blue : green),
                     qPrintable(name + QStringLiteral(" column %1").arg(x)));
        QVERIFY2(test::pixelAt(joined, 119, 10) == red, qPrintable(name));
    }
    QVERIFY(fake.messages.empty());
}

QTEST_MAIN(FrmMainLayoutTest)
void FrmMainLayoutTest::consoleFitsTheSmallestWindowWithEveryFormat()
{
    test::FakeDesktop fake;
    test::TestMain frm;
    frm.show();
    frm.resize(frm.minimumSize());
    for (QAbstractButton* format : frm.rdgpFormatItems->buttons()) {
        format->click();                    // the tail items' texts follow the format, .webp the longest
        QCoreApplication::processEvents();  // the layout requests of the new texts
        frm.pnlConsole->layout()->activate();
        QVERIFY(frm.pnlConsole->width() >= frm.pnlConsole->minimumSizeHint().width());
        for (auto* group : frm.pnlConsole->findChildren<QGroupBox*>())
            QVERIFY2(group->width() >= group->minimumSizeHint().width(), qPrintable(group->title()));
        for (auto* radio : frm.pnlConsole->findChildren<QRadioButton*>())
            QVERIFY2(radio->width() >= radio->sizeHint().width(), qPrintable(radio->text()));
        // 無劣化 rides on the title line, within the group.
        const QRect lossless = test::control<QCheckBox>(frm, "chkLossless")->geometry();
        QVERIFY(lossless.right() < frm.rdgpFormat->width() &&
                lossless.bottom() < frm.rdgpFormatItems->button(0)->y() + 4);
    }
}

#include "test_frm_main_layout.moc"
