// The main window's cut: what the frame cuts out of the picture, for the output commands,
// the slots and cut-and-continue.

#include <QAbstractButton>
#include <QKeyEvent>
#include <QPushButton>

#include "document/piece.h"
#include "forms/main/cut_set_choice.h"
#include "forms/main/fit_rate.h"
#include "forms/main/frm_main.h"
#include "forms/main/lossless_pieces.h"
#include "forms/main/output_commands.h"
#include "forms/preview/frm_preview.h"
#include "forms/widgets/up_down.h"
#include "imaging/cut_geometry.h"

namespace trimlet {

void TfrmMain::connectOutputHandlers()
{
    output_ = new OutputCommands(*this, *this);
    connect(btnCutAndLoad, &QPushButton::clicked, this, guarded(&TfrmMain::btnCutAndLoadClick));
    connect(lossless, &LosslessPieces::changed, this, guarded([this] {
                frame_.grid = lossless->grid();
                showCutFrame();
                frameMoved();
            }));
    connect(cutSets, &CutSetChoice::changed, this, guarded([this] {
                LayoutWorkArea(false, true);
                frameMoved();
            }));
}

void TfrmMain::setPreviewWindow(TfrmPreview* preview) { output_->setPreviewWindow(preview); }
void TfrmMain::outputCut(OutputMode mode) { output_->outputCut(mode); }
void TfrmMain::requestLiveSize()
{
    // Changes while the window is being built come before the live size exists.
    if (output_)
        output_->requestLiveSize();
}

PieceRequest TfrmMain::pieceRequest() const
{
    return framedPiece(doc_.picture, framingCut(doc_.picture.width(), doc_.picture.height()), frame_, displayRect());
}

CutResult TfrmMain::MakeCutResult() const
{
    // The same request the live size measures, so that both see the same piece.
    const PieceRequest piece = pieceRequest();
    CutResult cut{Picture(cutPiece(piece)), {}};
    cut.command = cutReport(piece, cutSettings(), cut.picture);
    return cut;
}

void TfrmMain::keyPressEvent(QKeyEvent* event)
{
    // A main window has no default button of its own: Enter that no control took presses the
    // focused button, else プレビュー while its page shows.
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return QMainWindow::keyPressEvent(event);
    QAbstractButton* target = buttonForEnter(focusWidget(), btnPreview);
    if (target->isVisible() && target->isEnabled())
        target->click();
}

void TfrmMain::btnCutAndLoadClick()
{
    CutResult cut = MakeCutResult();
    const QString name = tr("画像の切り出し");
    applyEdit(
        name, [&] { return std::move(cut.picture); }, EditShown::StatusAndLayout,
        cut.command.isEmpty() ? name : tr("%1（%2）").arg(name, cut.command));
}

}  // namespace trimlet
