#include "document/picture_transform.h"

#include <new>

#include "imaging/flip.h"
#include "imaging/plan.h"
#include "imaging/quarter_turn.h"

namespace trimlet {

Bitmap transformPicture(const Bitmap& picture, Transform mode, const std::function<void(int position)>& progress)
{
    const TurnProgress rows = [&progress](int done, int total) { progress(turnProgressPosition(done, total)); };
    switch (mode) {
    case Transform::TurnRight: return turnRight(picture, rows);
    case Transform::TurnLeft: return turnLeft(picture, rows);
    case Transform::FlipVertical: progress(70); return flipVertical(picture);
    case Transform::FlipHorizontal: progress(70); return flipHorizontal(picture);
    case Transform::HalfTurn: {
        progress(70);
        Bitmap result = halfTurn(picture);
        progress(90);
        return result;
    }
    }
    return {};
}

int placementOf(Transform mode)
{
    switch (mode) {
    case Transform::TurnRight: return kTurnedRight;
    case Transform::TurnLeft: return kTurnedLeft;
    case Transform::HalfTurn: return kHalfTurned;
    case Transform::FlipHorizontal: return kMirroredLeftRight;
    case Transform::FlipVertical: return kMirroredTopBottom;
    }
    return 1;
}

Picture transformedPicture(const Picture& picture, Transform mode, const std::function<void(int position)>& progress)
{
    Bitmap turned = transformPicture(picture.bitmap(), mode, progress);
    if (turned.empty())
        throw std::bad_alloc();
    JpegOrigin origin = picture.jpegOrigin();
    if (!origin.path.empty())
        origin.orientation = composeOrientations(origin.orientation, placementOf(mode));
    return Picture(std::move(turned), std::move(origin));
}

Transform inverseOf(Transform mode)
{
    switch (mode) {
    case Transform::TurnRight: return Transform::TurnLeft;
    case Transform::TurnLeft: return Transform::TurnRight;
    default: return mode;
    }
}

}  // namespace trimlet
