#include "forms/frm_rot_free.h"

namespace trimlet {

TfrmRotFree::TfrmRotFree(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmRotFree"));
}

}  // namespace trimlet
