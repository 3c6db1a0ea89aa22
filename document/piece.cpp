#include "document/piece.h"

#include <new>

#include "codecs/jpeg_lossless.h"
#include "document/output_job.h"
#include "imaging/cut.h"

namespace trimlet {

PieceRequest framedPiece(const Picture& source, const CutSettings& cut, const FrameState& frame, const IntRect& display)
{
    PieceRequest r;
    r.source = source;
    const int pw = source.width(), ph = source.height();
    if (cutsRegion(pw, ph, cut.width, cut.height)) {
        r.whole = false;
        r.origin = frame.cutOrigin(display, pw, ph);
        r.cutW = frame.cutSrcWidth;
        r.cutH = frame.cutSrcHeight;
        r.rate = cut.rate;
    }
    return r;
}

Bitmap cutPiece(const PieceRequest& request)
{
    if (request.whole)
        return request.source.bitmap();
    return cutRegion(request.source.bitmap(), request.origin, request.cutW, request.cutH, request.rate);
}

bool copiesBlocks(const OutputChoice& choice, const Picture& picture)
{
    return choice.lossless && choice.format == OutputFormat::Jpeg && !picture.jpegOrigin().path.empty();
}

Result<std::vector<std::uint8_t>> losslessPiece(const PieceRequest& request)
{
    const JpegOrigin& origin = request.source.jpegOrigin();
    if (origin.path.empty())
        return makeError(ErrorCode::Invalid, "the picture is not a JPEG file's own pixels");
    if (!request.whole && request.rate != 100)
        return makeError(ErrorCode::Invalid, "a reduced piece cannot be copied from the blocks");
    auto file = RegularFile::open(origin.path);
    if (!file)
        return file.error();
    if (!(file.value().stamp() == origin.stamp))
        return makeError(ErrorCode::Io, origin.path + " has changed since it was read");
    const JpegRegion region = request.whole
                                  ? JpegRegion{0, 0, request.source.width(), request.source.height()}
                                  : JpegRegion{request.origin.x, request.origin.y, request.cutW, request.cutH};
    return cutJpegLossless(file.value(), origin.orientation, region);
}

LiveSizeResult measurePiece(const LiveSizeJob& job, const std::function<bool()>& superseded)
{
    LiveSizeResult result;
    try {
        if (job.lossless) {
            const auto file = losslessPiece(job.piece);
            result.ok = bool(file);
            result.bytes = file ? file.value().size() : 0;
            result.fits = job.maxBytes == 0 || result.bytes <= job.maxBytes;
            return result;
        }
        if (job.piece.whole && recompressesJpeg(job.piece.source, job.format))
            if (auto file = recompressedWithin(job.piece.source, job.maxBytes)) {
                result.ok = true;
                result.bytes = file->size();
                result.quality = job.quality;
                return result;
            }
        // The whole picture is measured where it lies: a copy would hold it twice.
        const Bitmap cut = job.piece.whole ? Bitmap() : cutPiece(job.piece);
        const Bitmap& piece = job.piece.whole ? job.piece.source.bitmap() : cut;
        if (piece.empty())
            return result;
        auto fitted = encodeOutputWithin(piece, job.format, job.quality, job.maxBytes, superseded);
        if (!fitted)
            return result;
        result.ok = true;
        result.fits = fitted.value().fits;
        result.bytes = fitted.value().bytes.size();
        result.quality = fitted.value().quality;
    } catch (const std::bad_alloc&) {
        result.ok = false;
    }
    return result;
}

}  // namespace trimlet
