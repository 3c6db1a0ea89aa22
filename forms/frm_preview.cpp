#include "forms/frm_preview.h"

namespace trimlet {

TfrmPreview::TfrmPreview(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmPreview"));
}

}  // namespace trimlet
