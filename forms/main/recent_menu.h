#pragma once
// The pictures last opened by name, on an arrow at the open button's right edge and as a
// submenu of the picture's pop-up menu; the list itself lives in the settings file, so that
// every window shows what the others added.

#include <QObject>
#include <functional>
#include <string>

class QMenu;
class QPushButton;
class QToolButton;

namespace trimlet {

class RecentMenu : public QObject {
    Q_OBJECT

public:
    // settingsPath is the window's own (it outlives the menu); open loads a chosen entry as the
    // open dialog's choice is loaded.
    RecentMenu(QPushButton* openButton, QMenu* popEdit, const std::string& settingsPath,
               std::function<void(const std::string&)> open);

    // A picture landed in place of from: opened by name it goes first, a folder step carries
    // from's entry along.
    void opened(const std::string& from, const std::string& to, bool stepped);

    QMenu* menu() const { return menu_; }
    QToolButton* arrow() const { return arrow_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refill();
    void choose(const std::string& path);

    const std::string& settingsPath_;
    std::function<void(const std::string&)> open_;
    QPushButton* button_;
    QMenu* menu_;
    QToolButton* arrow_;
};

}  // namespace trimlet
