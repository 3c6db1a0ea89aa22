#include <QtTest>

#include "forms/frm_about_box.h"

class FrmAboutBoxTest : public QObject {
    Q_OBJECT
private slots:
    void builds() { trimlet::TfrmAboutBox box; }
};

QTEST_MAIN(FrmAboutBoxTest)
#include "test_frm_about_box.moc"
