#pragma once
// The three temporary slots as commands of the main window: parking the editing picture or
// its framed part, bringing a slot's picture back as the document, and the drags between the
// slots and the picture. The slots themselves are a SlotStrip.

#include <QObject>

namespace trimlet {

struct MainControls;
class TfrmMain;

class SlotCommands : public QObject {
    Q_OBJECT
public:
    SlotCommands(TfrmMain& window, MainControls& controls);

    // A command's sender is a slot's button or a menu item on the slot the menu was opened on;
    // one that names no slot only brings the load buttons up to date.
    void park(QObject* sender);
    void parkFramed(QObject* sender);
    void bringBack(QObject* sender);
    // The slot's picture becomes the document, as an edit that an undo takes back.
    void expand(int slot);
    // Drags onto a slot come from the picture or another slot's panel. Public for the window
    // tests, which cannot run the toolkit's drag loop.
    bool acceptsDrag(const QObject* source, int slot) const;
    void dropped(const QObject* source, int slot);

private:
    TfrmMain& window_;
    MainControls& c_;
};

// "[1]": a slot as the status line names it.
QString slotTag(int slot);

}  // namespace trimlet
