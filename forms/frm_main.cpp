#include "forms/frm_main.h"

namespace trimlet {

TfrmMain::TfrmMain(QWidget* parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("trimlet"));
    setMinimumSize(800, 480);
}

}  // namespace trimlet
