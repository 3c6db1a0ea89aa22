#include "forms/frm_about_box.h"

namespace trimlet {

TfrmAboutBox::TfrmAboutBox(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAboutBox"));
}

}  // namespace trimlet
