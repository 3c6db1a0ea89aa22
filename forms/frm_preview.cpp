#include "forms/frm_preview.h"

namespace trimlet {

TfrmPreview::TfrmPreview(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmPreview"));
    setWindowTitle(QStringLiteral("プレビュー"));
    setMinimumSize(560, 360);
}

void TfrmPreview::FormShow()
{
    // Encoding, saving and copying of the result arrive with the preview window itself.
}

void TfrmPreview::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
}

}  // namespace trimlet
