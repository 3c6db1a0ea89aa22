#pragma once
// The cut-size preset menu: twenty items in two columns of ten, reachable by the keys.

#include <QString>
#include <string>

class QAction;
class QMenu;
class QWidget;

namespace trimlet {

struct CutSizePreset;

// A preset's name in the windows' language: the built-in names translated, a name of the
// user's own as typed.
QString presetName(const std::string& name);
// The preset's menu caption (presetCaption) with its name in the windows' language.
QString presetMenuCaption(const CutSizePreset& preset);

// Builds the menu "popTpl" on parent with its items "item1" to "item20" in items (the item's
// data is its index) under a first item "itemScreen" and a line, which hide together with
// that item. The items' captions and what they do are the caller's.
QMenu* buildPresetMenu(QWidget* parent, QAction* (&items)[20], QAction*& screenItem);
// Opens menu just below button, its right edge at the button's when alignRight, else its left.
void popupBelow(QMenu* menu, QWidget* button, bool alignRight);

}  // namespace trimlet
