#include "forms/main/lossless_pieces.h"

#include <QButtonGroup>
#include <QCheckBox>

#include "base/file_io.h"
#include "codecs/picture_file.h"
#include "document/lossless_job.h"
#include "forms/main/console_binding.h"

namespace trimlet {

namespace {

Result<JpegBlocks> readBlocks(const JpegOrigin& origin)
{
    auto file = RegularFile::open(origin.path);
    if (!file)
        return file.error();
    if (!(file.value().stamp() == origin.stamp))
        return makeError(ErrorCode::Io, origin.path + " has changed since it was read");
    return probeFileBlocks(file.value());
}

}  // namespace

LosslessPieces::LosslessPieces(const Controls& c) : QObject(c.box), c_(c)
{
    connect(c.box, &QCheckBox::toggled, this, [this] { update(); });
    connect(c.formats, &QButtonGroup::idToggled, this, [this] { update(); });
    update();
}

bool LosslessPieces::isOn() const { return copiesBlocks(c_.console->output(), picture_); }

void LosslessPieces::follow(const Picture& picture)
{
    picture_ = picture;
    update();
}

void LosslessPieces::update()
{
    const JpegOrigin& origin = picture_.jpegOrigin();
    c_.box->setEnabled(c_.console->output().format == OutputFormat::Jpeg && !origin.path.empty());
    if (isOn() && (origin.path != probedPath_ || !(origin.stamp == probedStamp_))) {
        blocks_ = readBlocks(origin);
        probedPath_ = origin.path;
        probedStamp_ = origin.stamp;
    }
    std::optional<LosslessGrid> grid;
    if (isOn() && blocks_)
        grid = losslessGrid(blocks_.value(), origin.orientation);
    const bool moved = grid.has_value() != grid_.has_value() ||
                       (grid && (grid->stepX != grid_->stepX || grid->stepY != grid_->stepY ||
                                 grid->offsetX != grid_->offsetX || grid->offsetY != grid_->offsetY));
    grid_ = grid;
    if (moved)
        emit changed();
}

LosslessPieces::Made LosslessPieces::make(const PieceRequest& request) const
{
    if (!request.whole && request.rate != 100)
        return {{}, tr("無劣化で切り出すには、縮小率を100にしてください。")};
    auto file = losslessPiece(request);
    if (!file) {
        const QString why = QString::fromStdString(file.error().message);
        if (file.error().code == ErrorCode::Io)
            return {{},
                    tr("画像のファイルが読み込んだ後に変更されたため、無劣化で切り出せません。\n"
                       "リロードしてください。（%1）")
                        .arg(why)};
        return {{}, tr("この枠は無劣化で切り出せません。\n%1").arg(why)};
    }
    auto decoded = decodePictureAsStored(PictureKind::Jpeg, file.value());
    if (!decoded)
        return {{}, tr("この枠は無劣化で切り出せません。\n%1").arg(QString::fromStdString(decoded.error().message))};
    return {std::move(decoded).value(), {}};
}

}  // namespace trimlet
