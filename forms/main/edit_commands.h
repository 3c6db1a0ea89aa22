#pragma once
// The edit page's commands: quarter and half turns and flips of the editing picture with
// their progress, the free-rotation window with its preview over the work area, and the
// background colour of rotations and joins.

#include <QObject>

#include "document/picture_transform.h"

namespace trimlet {

struct MainControls;
class TfrmMain;
class TfrmRotFree;

class EditCommands : public QObject {
    Q_OBJECT
public:
    EditCommands(TfrmMain& window, MainControls& controls);

    // The free-rotation window; main() and the tests set it, once.
    void setRotFreeWindow(TfrmRotFree* rotFree);
    // The picture turned or flipped, as the edit page's buttons do it: false when it could not
    // be made (the error box and the status line say so).
    bool transform(Transform mode, const QString& name);

private:
    void rotateFreely();
    void chooseBackground();

    TfrmMain& window_;
    MainControls& c_;
    TfrmRotFree* rotFree_ = nullptr;
};

}  // namespace trimlet
