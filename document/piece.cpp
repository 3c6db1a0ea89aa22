#include "document/piece.h"

#include <new>

#include "imaging/cut.h"

namespace trimlet {

Bitmap cutPiece(const PieceRequest& request)
{
    if (request.whole)
        return request.source.bitmap();
    return cutRegion(request.source.bitmap(), request.origin, request.cutW, request.cutH, request.rate);
}

LiveSizeResult measurePiece(const LiveSizeJob& job, const std::function<bool()>& superseded)
{
    LiveSizeResult result;
    try {
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
