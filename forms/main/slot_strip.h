#pragma once
// The three temporary slots of the command band: their group with a panel and three buttons
// per slot, the slots' pop-up menu, and the pictures parked in them. Slots are numbered 1 to
// 3 as their captions. What a command does with the editing picture is the window's.

#include <QCoreApplication>
#include <QPoint>
#include <functional>

#include "codecs/picture.h"

class QAction;
class QGroupBox;
class QMenu;
class QMouseEvent;
class QObject;
class QToolButton;
class QWidget;

namespace trimlet {

class SlotPanel;

// What the slots' controls ask the window to do. A command's sender is the slot's button or
// the menu item that was chosen.
struct SlotCallbacks {
    std::function<void(QObject* sender)> save;
    std::function<void(QObject* sender)> cutSave;
    std::function<void(QObject* sender)> load;
    std::function<bool(QObject* source, int slot)> acceptsDrag;
    std::function<void(QObject* source, int slot)> dropped;
    std::function<void(QWidget* panel, QMouseEvent* event)> pressed;
    std::function<void(int slot, QMouseEvent* event)> released;
};

class SlotStrip {
    Q_DECLARE_TR_FUNCTIONS(SlotStrip)

public:
    // Builds the group "gbxTmpSave" into band and the menu "popTmpSave" on band's window.
    explicit SlotStrip(QWidget* band);

    // Connects the buttons, the menu items and the panels' mouse and drops to the commands,
    // for as long as context lives.
    void connectCommands(QObject* context, const SlotCallbacks& commands);

    QGroupBox* group() const { return gbxTmpSave_; }
    SlotPanel* panel(int slot) const { return pnlTmpSave_[slot - 1]; }
    QToolButton* saveButton(int slot) const { return btnTmpSave_[slot - 1]; }
    QToolButton* cutSaveButton(int slot) const { return btnTmpCutSave_[slot - 1]; }
    QToolButton* loadButton(int slot) const { return btnTmpLoad_[slot - 1]; }
    QAction* saveItem() const { return popItemTmpSave_; }
    QAction* cutSaveItem() const { return popItemTmpCutSave_; }
    QAction* loadItem() const { return popItemTmpLoad_; }

    // imgTmpSave: the slot's picture, empty while the slot is.
    const Picture& picture(int slot) const { return imgTmpSave_[slot - 1]; }
    // Parks the picture in the slot and shows it on the slot's panel.
    void setPicture(int slot, Picture picture);

    // The slot popTmpSave was last opened on; a value outside 1 to 3 names none.
    int popupTarget = 0;
    // The slot a command is meant for: a slot's button, or a menu item on popupTarget; 0 for none.
    int slotForSender(const QObject* sender) const;
    // The slot whose panel object is, or 0.
    int slotOfPanel(const QObject* object) const;
    // The slot a drag from source carries a picture out of: a filled slot's panel, else 0.
    int filledSlotOf(const QObject* source) const;
    // Whether the slot takes a drag from source: the editing picture's view always, another
    // slot's panel while that slot holds a picture.
    bool acceptsDrag(const QObject* source, int slot, const QObject* editingView) const;

    // The save buttons follow the editing picture; a load button is enabled while its slot is
    // filled, and never while there is no editing picture.
    void setEditingEnabled(bool enabled);
    void updateLoadButtons();
    // Opens popTmpSave for the slot at a point of its panel, its items enabled as its buttons.
    void popupMenu(int slot, const QPoint& local);

private:
    QGroupBox* gbxTmpSave_ = nullptr;
    SlotPanel* pnlTmpSave_[3] = {};
    QToolButton* btnTmpSave_[3] = {};
    QToolButton* btnTmpCutSave_[3] = {};
    QToolButton* btnTmpLoad_[3] = {};
    QMenu* popTmpSave_ = nullptr;
    QAction* popItemTmpSave_ = nullptr;
    QAction* popItemTmpCutSave_ = nullptr;
    QAction* popItemTmpLoad_ = nullptr;
    Picture imgTmpSave_[3];
};

// Starts a drag of our own from the picture view or a slot panel, with a thumbnail of what
// it carries; the drop looks at the source widget, so the drag carries no data.
void startPictureDrag(QWidget* source);

}  // namespace trimlet
