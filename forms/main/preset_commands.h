#pragma once
// The 呼出 and 記憶 buttons of the cut size: the preset menu filled from the settings file
// below the button, a preset recalled into the cut size, the screen's own size recalled, or
// the cut size stored in a preset under a name the user gives.

#include <QObject>
#include <QSize>
#include <functional>
#include <string>

#include "document/work_values.h"
#include "forms/widgets/guarded.h"

class QAction;
class QMenu;
class QPushButton;
class QWidget;

namespace trimlet {

class PresetCommands : public QObject {
    Q_OBJECT
public:
    struct Controls {
        QWidget* window;  // the boxes' parent
        QPushButton* recall;
        QPushButton* store;
        QMenu* menu;
        QAction* const* items;  // the menu's twenty preset items
        QAction* screenItem;
    };
    struct Work {
        std::function<const std::string&()> settingsPath;
        std::function<const CutSettings&()> cut;
        std::function<void(int width, int height)> setCutSize;
        // The screen that shows the window, in device pixels; empty when unknown.
        std::function<QSize()> screenSize;
    };
    PresetCommands(QObject* parent, const Controls& controls, Work work, const FailureReport& failure);

    // Opens the menu below the button that asks, its items read from the settings file.
    void open(QPushButton* sender);
    // The item of a slot 0..19 chosen: recalled into the cut size, or overwritten by it.
    void choose(int slot);

private:
    Controls c_;
    Work work_;
    QPushButton* opener_ = nullptr;
};

}  // namespace trimlet
