#include "document/picture_transform.h"

#include "imaging/flip.h"
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

Transform inverseOf(Transform mode)
{
    switch (mode) {
    case Transform::TurnRight: return Transform::TurnLeft;
    case Transform::TurnLeft: return Transform::TurnRight;
    default: return mode;
    }
}

}  // namespace trimlet
