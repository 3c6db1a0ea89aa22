#include "forms/main/output_commands.h"

#include <QButtonGroup>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include "document/cut_set.h"
#include "document/stored_settings.h"
#include "forms/main/cut_set_choice.h"
#include "forms/main/fit_rate.h"
#include "forms/main/frm_main.h"
#include "forms/main/live_size_view.h"
#include "forms/main/lossless_pieces.h"
#include "forms/main/main_controls.h"
#include "forms/main/set_outlines.h"
#include "forms/main/work_area_widgets.h"
#include "forms/main/work_area_zoom.h"
#include "forms/preview/frm_preview.h"
#include "forms/widgets/up_down.h"
#include "platform/desktop.h"
#include "platform/paths.h"
#include "platform/qimage_bridge.h"

namespace trimlet {

OutputCommands::OutputCommands(TfrmMain& window, MainControls& c) : QObject(&window), window_(window), c_(c)
{
    hidden_.setReporter({[this] { return &window_; }, [this](const QString& text) { showStatus(text); },
                         [this](const std::string& path) { rememberSaved(path); }, [this] { rememberCopied(); }});
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

OutputOptions OutputCommands::options() const
{
    OutputOptions options = c_.outputChoices();
    options.documentPath = window_.currentFilePath();
    options.documentName = window_.currentFileName();
    if (options.documentPath.empty())
        options.lastOutputPath = readLastOutputPath(window_.settingsPath());
    return options;
}

// Called whenever the frame, the picture or the choices change, which the outlines follow too.
void OutputCommands::requestLiveSize()
{
    liveSize_->request();
    showSetOutlines();
}

void OutputCommands::showSetOutlines()
{
    const auto& set = c_.cutSets->chosen();
    const Picture& picture = window_.editingPicture();
    const auto* zoom = window_.findChild<WorkAreaZoom*>();
    if (!set || picture.isEmpty() || (zoom && zoom->zoomed()))  // drawn over the fitted picture only
        return c_.setOutlines->show({}, 0, 0, {}, false);
    const QRect d = c_.imgSource->geometry();
    const auto grid = c_.lossless->isOn() ? c_.lossless->grid() : std::nullopt;
    c_.setOutlines->show({d.x(), d.y(), d.width(), d.height()}, picture.width(), picture.height(),
                         c_.cutSets->pieces(window_.pieceRequest(), c_.cutSettings(), c_.fit->isOn(), grid),
                         set->kind == CutSet::Kind::Span);
}

void OutputCommands::showStatus(const QString& text) { window_.ShowStatus(text, StatusKind::statusOnly); }

void OutputCommands::rememberSaved(const std::string& path)
{
    window_.folderStepper().wrote(path);
    // The picture is safely saved; a settings file that refuses the path only loses the
    // proposal for the next pasted picture.
    (void)writeLastOutputPath(window_.settingsPath(), path);
}

// A refused settings file is reported when the program closes and writes it again.
void OutputCommands::rememberCopied() { (void)window_.SaveSettings(); }

void OutputCommands::setPreviewWindow(TfrmPreview* preview)
{
    // Once per window: a second set of connections would report everything twice.
    if (preview == preview_)
        return;
    preview_ = preview;
    if (!preview)
        return;
    connect(preview, &TfrmPreview::statusChanged, this, window_.guarded([this](const QString& t) { showStatus(t); }));
    connect(preview, &TfrmPreview::saved, this, window_.guarded([this](const std::string& p) { rememberSaved(p); }));
    connect(preview, &TfrmPreview::copied, this, window_.guarded([this] { rememberCopied(); }));
}

void OutputCommands::outputCut(OutputMode mode)
{
    // Only what is written is copied from the blocks: a copy to the clipboard is pixels anyway.
    if (mode != OutputMode::Copy && c_.cutSets->chosen())
        return outputSet(mode);
    if (mode != OutputMode::Copy && c_.lossless->isOn())
        return outputCopiedBlocks(mode);
    const PieceRequest piece = window_.pieceRequest();
    if (mode != OutputMode::Copy && piece.whole && recompressesJpeg(piece.source, c_.outputChoice().format))
        return run(mode, piece.source, {});
    CutResult cut = window_.MakeCutResult();
    run(mode, std::move(cut.picture), std::move(cut.command));
}

void OutputCommands::outputCopiedBlocks(OutputMode mode)
{
    const PieceRequest piece = window_.pieceRequest();
    LosslessPieces::Made made = c_.lossless->make(piece);
    if (made.piece.isEmpty())
        return hidden_.report(MessageKind::Error, made.refusal);
    QString command = cutReport(piece, c_.cutSettings(), made.piece);
    run(mode, std::move(made.piece), command.isEmpty() ? command : command + QStringLiteral(" --lossless"));
}

void OutputCommands::outputSet(OutputMode mode)
{
    const CutSet& set = *c_.cutSets->chosen();
    const bool lossless = c_.lossless->isOn();
    if (lossless && set.kind == CutSet::Kind::Span)
        return hidden_.report(MessageKind::Error,
                              tr("スパンのピースは画面ごとに拡大縮小するため、無劣化では保存できません。\n"
                                 "無劣化のチェックを外してください。"));
    const PieceRequest main = window_.pieceRequest();
    const std::vector<SetPiece> pieces =
        c_.cutSets->pieces(main, c_.cutSettings(), c_.fit->isOn(), lossless ? c_.lossless->grid() : std::nullopt);
    if (pieces.empty())
        return;
    auto outputs = std::make_shared<SetOutputs>();
    Picture first;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const SetPiece& p = pieces[i];
        Picture made;
        if (lossless) {
            LosslessPieces::Made copied = c_.lossless->make(
                {main.source, false, p.region.origin, p.region.width, p.region.height, p.region.rate});
            if (copied.piece.isEmpty())
                return hidden_.report(MessageKind::Error, copied.refusal);
            made = std::move(copied.piece);
        } else {
            made = Picture(makeSetPiece(main.source.bitmap(), p));
        }
        if (i == 0) {
            first = std::move(made);
            outputs->mainSuffix = p.suffix;
        } else {
            outputs->others.emplace_back(p.suffix, std::move(made));
        }
    }
    QString command = c_.cutSets->command(main, c_.cutSettings(), c_.fit->isOn());
    if (lossless && !command.isEmpty())
        command += QStringLiteral(" --lossless");
    run(mode, std::move(first), command, std::move(outputs));
}

QString OutputCommands::frameReport() const
{
    if (window_.editingPicture().isEmpty())
        return {};
    const PieceRequest piece = window_.pieceRequest();
    if (c_.cutSets->chosen()) {
        QString command = c_.cutSets->command(piece, c_.cutSettings(), c_.fit->isOn());
        if (!command.isEmpty() && c_.lossless->isOn())
            command += QStringLiteral(" --lossless");
        return command.isEmpty() ? QString() : tr("セットの枠：%1").arg(command);
    }
    if (!c_.lossless->isOn())
        return {};
    const QString command = cutReport(piece, c_.cutSettings(), Picture());
    return command.isEmpty() ? QString() : tr("無劣化の枠：%1 --lossless").arg(command);
}

void OutputCommands::run(OutputMode mode, Picture picture, QString cutCommand, std::shared_ptr<const SetOutputs> set)
{
    const auto suspended = c_.suspendResizeCheck();
    OutputOptions chosen = options();
    chosen.set = std::move(set);
    if (mode == OutputMode::Preview) {
        preview_->setCutResult(std::move(picture), std::move(chosen), std::move(cutCommand));
        preview_->outputMode = mode;
        preview_->exec();
        return;
    }
    // The one temporary file, which the program removes when it closes.
    hidden_.setTempJpeg(preview_ ? preview_->tempJpeg() : tempJpegPath());
    hidden_.setCut(std::move(picture), std::move(chosen), std::move(cutCommand));
    lastMode_ = mode;
    hidden_.carryOut(mode);
}

void OutputCommands::saveWhole()
{
    // An unedited JPEG goes whole to JPEG XL from its file, which a bitmap copy no longer has.
    const Picture& picture = window_.editingPicture();
    run(OutputMode::Save, recompressesJpeg(picture, c_.outputChoice().format) ? picture : Picture(picture.bitmap()),
        {});
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
