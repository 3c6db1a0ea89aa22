#include "forms/main/output_commands.h"

#include <QButtonGroup>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include "document/stored_settings.h"
#include "forms/main/frm_main.h"
#include "forms/main/live_size_view.h"
#include "forms/main/main_controls.h"
#include "forms/preview/frm_preview.h"
#include "forms/widgets/up_down.h"
#include "platform/desktop.h"
#include "platform/qimage_bridge.h"

namespace trimlet {

OutputCommands::OutputCommands(TfrmMain& window, MainControls& c) : QObject(&window), window_(window), c_(c)
{
    const auto guarded = [&window](auto handler) { return window.guarded(std::move(handler)); };
    const std::pair<QPushButton*, QAction*> cuts[] = {
        {c.btnPreview, c.popitemPreview}, {c.btnSave, c.popitemSave}, {c.btnCopy, nullptr}};
    const OutputMode modes[] = {OutputMode::Preview, OutputMode::Save, OutputMode::Copy};
    for (std::size_t i = 0; i < std::size(cuts); ++i) {
        const auto handler = guarded([this, mode = modes[i]] { outputCut(mode); });
        connect(cuts[i].first, &QPushButton::clicked, this, handler);
        if (cuts[i].second)
            connect(cuts[i].second, &QAction::triggered, this, handler);
    }
    connect(c.btnQuickSave, &QPushButton::clicked, this, guarded([this] { saveWhole(); }));
    connect(c.popitemQuickSave, &QAction::triggered, this, guarded([this] { saveWhole(); }));
    connect(c.btnAllCopy, &QPushButton::clicked, this, guarded([this] { copyWhole(); }));

    const auto formatChanged = guarded([this] {
        c_.showOutputFormat();
        requestLiveSize();
    });
    connect(c.rdgpFormatItems, &QButtonGroup::idClicked, this, formatChanged);
    connect(c.rdgpTailItems, &QButtonGroup::idClicked, this, formatChanged);
    connect(c.udMaxKb, &UpDown::positionChanged, this, formatChanged);
    connect(c.tbarQual, &QSlider::valueChanged, this, guarded([this] {
                c_.lblQual->setText(QString::number(c_.outputChoice().quality));
                // Under a limit the slider only shows the quality the measurement chose.
                if (c_.outputChoice().maxKb == 0)
                    requestLiveSize();
            }));

    const auto piece = [&window]() -> std::optional<PieceRequest> {
        if (window.editingPicture().isEmpty() || window.closing())
            return std::nullopt;
        return window.pieceRequest();
    };
    liveSize_ = new LiveSizeView(
        this, {c.lblLiveSize, c.tbarQual, c.edtMaxKb, c.udMaxKb}, piece, [this] { return c_.outputChoice(); },
        window.failureReport());
}

void OutputCommands::requestLiveSize() { liveSize_->request(); }

void OutputCommands::setPreviewWindow(TfrmPreview* preview)
{
    // Once per window: a second set of connections would report everything twice.
    if (preview == preview_)
        return;
    preview_ = preview;
    if (!preview)
        return;
    connect(preview, &TfrmPreview::statusChanged, this,
            window_.guarded([this](const QString& text) { window_.ShowStatus(text, StatusKind::statusOnly); }));
    // The picture is safely saved; a settings file that refuses the path only loses the
    // proposal for the next pasted picture.
    connect(preview, &TfrmPreview::saved, this, window_.guarded([this](const std::string& path) {
        (void)writeLastOutputPath(window_.settingsPath(), path);
    }));
    // A refused settings file is reported when the program closes and writes it again.
    connect(preview, &TfrmPreview::copied, this, window_.guarded([this] { (void)window_.SaveSettings(); }));
}

void OutputCommands::outputCut(OutputMode mode)
{
    CutResult cut = window_.MakeCutResult();
    preview_->setCutResult(std::move(cut.picture), window_.outputOptions(), std::move(cut.command));
    run(mode);
}

void OutputCommands::run(OutputMode mode)
{
    preview_->outputMode = mode;
    const auto suspended = c_.suspendResizeCheck();
    if (mode == OutputMode::Preview)
        preview_->exec();
    else
        preview_->FormShow();
}

void OutputCommands::saveWhole()
{
    preview_->setCutResult(Picture(window_.editingPicture().bitmap()), window_.outputOptions());
    run(OutputMode::Save);
}

void OutputCommands::copyWhole()
{
    // An unedited GIF also goes out as its own file, so GIF-aware programs keep its palette.
    const Picture& picture = window_.editingPicture();
    QByteArray gif;
    if (picture.kind() == PictureKind::Gif)
        gif = QByteArray(reinterpret_cast<const char*>(picture.fileBytes().data()),
                         qsizetype(picture.fileBytes().size()));
    if (!desktop().setClipboard(imageOf(picture.bitmap()), gif)) {
        window_.ShowStatus(tr("クリップボードにコピーできませんでした。"), StatusKind::skError);
        return;
    }
    window_.ShowStatus(tr("画像全体をクリップボードにコピー"), StatusKind::statusOnly);
}

}  // namespace trimlet
