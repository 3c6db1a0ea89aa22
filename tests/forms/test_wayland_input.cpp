// The main window on a Wayland compositor that has input devices (weston on an X server of its
// own, run by tests/app/wayland.sh): the clipboard goes through the compositor's selection,
// and drags with the real pointer, moved by xdotool in weston's window, drop within the window.
// The compositor's kiosk shell shows the window undecorated at the output's corner, so a
// point of the window is the same point of weston's X window.

#include <QtTest>

#include <QClipboard>
#include <QProcess>

#include "codecs/picture_file.h"
#include "forms/preview/frm_preview.h"
#include "platform/desktop.h"
#include "tests/forms/test_main_window.h"

using namespace trimlet;

namespace {

// Runs xdotool's commands without waiting, so that the window's drag loop sees them come.
void pointer(const QString& commands) { QProcess::startDetached(QStringLiteral("xdotool"), commands.split(u' ')); }

QString at(QPoint p) { return QStringLiteral("%1 %2").arg(p.x()).arg(p.y()); }

}  // namespace

class WaylandInputTest : public QObject {
    Q_OBJECT

    test::TempDir dir_;

    QString write(const std::string& name, int w, int h)
    {
        const std::string path = dir_.file(name);
        if (!writeBmpFile(test::photoLike(w, h), path))
            qFatal("cannot write %s", path.c_str());
        return QString::fromStdString(path);
    }

    // Shown full-screen by the kiosk shell, with the keyboard, after a real click into it.
    static void showForInput(test::TestMain& f)
    {
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QTRY_VERIFY(f.width() > 640);
        QTest::qWait(300);
        pointer(QStringLiteral("mousemove ") + at(f.statusBar->mapTo(&f, QPoint(4, 4))) + QStringLiteral(" click 1"));
        QTRY_VERIFY(f.isActiveWindow());
    }

    static QPoint centreOf(test::TestMain& f, QWidget* w)
    {
        // The picture is grabbed beside the frame, which lies over its middle.
        return w->mapTo(&f, w == f.imgSource ? QPoint(3, 3) : w->rect().center());
    }

    static void drag(test::TestMain& f, QWidget* from, QWidget* to)
    {
        const QPoint a = centreOf(f, from), b = centreOf(f, to);
        pointer(QStringLiteral("mousemove ") + at(a) + QStringLiteral(" mousedown 1 sleep 0.2 mousemove ") +
                at(a + QPoint(20, 0)) + QStringLiteral(" sleep 0.2 mousemove ") + at(b - QPoint(3, 0)) +
                QStringLiteral(" sleep 0.3 mousemove ") + at(b) + QStringLiteral(" sleep 0.3 mouseup 1"));
    }

private slots:
    void initTestCase() { QCOMPARE(QGuiApplication::platformName(), QStringLiteral("wayland")); }

    void copyAndPasteGoThroughTheSelection()
    {
        // A fresh settings file cuts 640 x 640.
        test::TestMain f({write("a.bmp", 1000, 700)});
        // Copies are made by the preview's code; the real desktop's clipboard is kept.
        TfrmPreview preview;
        preview.setTempJpeg(dir_.file("trimlet.jpg"));
        f.setPreviewWindow(&preview);
        showForInput(f);
        QCOMPARE(f.editingPicture().width(), 1000);

        f.btnCopy->click();
        // The selection the compositor offers back, not only the program's own copy.
        QTRY_VERIFY(QGuiApplication::clipboard()->ownsClipboard());
        QTRY_VERIFY(desktop().clipboardHasImage());
        f.btnPaste->click();
        QTRY_COMPARE(f.editingPicture().width(), 640);
        QCOMPARE(f.editingPicture().height(), 640);
        QCOMPARE(f.statusText(), QStringLiteral("クリップボードからの貼り付け"));
    }

    void dragsDropWithinTheWindow()
    {
        test::TestMain f({write("b.bmp", 300, 200)});
        showForInput(f);
        // A small frame, so that the picture is grabbed beside it.
        f.edtSizeW->setText(QStringLiteral("32"));
        f.edtSizeH->setText(QStringLiteral("32"));
        f.btnTmpSave[0]->click();

        drag(f, f.pnlTmpSave[0], f.pnlTmpSave[2]);
        QTRY_VERIFY_WITH_TIMEOUT(!f.slotStrip().picture(3).isEmpty(), 10000);
        QCOMPARE(f.statusText(), QStringLiteral("一時保存領域の複写：[1]→[3]"));

        drag(f, f.imgSource, f.pnlTmpSave[1]);
        QTRY_VERIFY_WITH_TIMEOUT(!f.slotStrip().picture(2).isEmpty(), 10000);
        QCOMPARE(f.statusText(), QStringLiteral("編集画像全体を一時保存領域[2]へ保存"));
    }
};

QTEST_MAIN(WaylandInputTest)
#include "test_wayland_input.moc"
