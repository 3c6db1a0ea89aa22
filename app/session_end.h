#pragma once
// Turns the end of a session — the session manager's commit request, or SIGTERM / SIGHUP as
// sent at log-off and shut-down — into one close on the event loop: whatever dialog or menu
// is open is cancelled, the main window closes through its normal path and saves what it
// must, and the program leaves every event loop, the dialogs' nested ones included.

#include <QObject>

class QSocketNotifier;
class QWidget;

namespace trimlet {

class SessionEnd : public QObject {
    Q_OBJECT
public:
    explicit SessionEnd(QWidget* mainWindow, QObject* parent = nullptr);
    ~SessionEnd() override;

    // Ends the program as log-off does. Later calls do nothing.
    void end();
    // True once end() ran; a start that ended before its event loop ran must not enter it.
    bool ended() const { return ended_; }

private:
    QWidget* mainWindow_;
    QSocketNotifier* notifier_ = nullptr;
    bool ended_ = false;
};

}  // namespace trimlet
