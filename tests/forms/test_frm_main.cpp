#include <QtTest>

#include "forms/frm_main.h"

class FrmMainTest : public QObject {
    Q_OBJECT
private slots:
    void captionAndMinimumSize()
    {
        trimlet::TfrmMain frm;
        QCOMPARE(frm.windowTitle(), QStringLiteral("trimlet"));
        QCOMPARE(frm.minimumSize(), QSize(800, 480));
    }
};

QTEST_MAIN(FrmMainTest)
#include "test_frm_main.moc"
