#include <QApplication>

#include "forms/frm_main.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("trimlet"));
    QApplication::setApplicationVersion(QStringLiteral(TRIMLET_VERSION));

    trimlet::TfrmMain frmMain;
    frmMain.show();
    return QApplication::exec();
}
