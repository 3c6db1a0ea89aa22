#pragma once
// Pieces copied from a JPEG's blocks: the 無劣化 box beside JPEG in 保存形式, which JPEG pictures
// enable while they are still their file's own pixels; the block grid the frame's corner then
// keeps to; and the piece made so for the preview and the saves, or why it cannot be made.

#include <QObject>
#include <QString>
#include <optional>
#include <string>

#include "codecs/jpeg_lossless.h"
#include "codecs/picture.h"
#include "document/piece.h"

class QButtonGroup;
class QCheckBox;

namespace trimlet {

class ConsoleBinding;

class LosslessPieces : public QObject {
    Q_OBJECT
public:
    struct Controls {
        QCheckBox* box;                 // chkLossless
        QButtonGroup* formats;          // rdgpFormatItems, which enable the box for JPEG
        const ConsoleBinding* console;  // the format and the box's value
    };
    explicit LosslessPieces(const Controls& controls);

    // The picture being edited: the box and the grid follow it.
    void follow(const Picture& picture);
    // True while the pieces of the picture are copied from its blocks.
    bool isOn() const;
    // The grid the frame's corner keeps to while on; none when the file's header cannot be read
    // (the cut then says why).
    const std::optional<LosslessGrid>& grid() const { return grid_; }

    // The piece copied from the blocks, decoded and holding the file's bytes; or, with an
    // empty piece, what to tell the user.
    struct Made {
        Picture piece;
        QString refusal;
    };
    Made make(const PieceRequest& request) const;

signals:
    // On, off or onto another grid: the frame snaps anew and the live size is measured again.
    void changed();

private:
    void update();

    Controls c_;
    Picture picture_;
    std::optional<LosslessGrid> grid_;
    // The last file's header, read once for all its turns.
    std::string probedPath_;
    FileStamp probedStamp_;
    Result<JpegBlocks> blocks_ = makeError(ErrorCode::Invalid, "no file");
};

}  // namespace trimlet
