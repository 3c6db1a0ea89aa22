#pragma once
// Turns the end of a session — the session manager's commit request, or SIGTERM / SIGHUP as
// sent at log-off and shut-down — into one callback on the event loop, so that the main window
// closes through its normal path and saves what it must.

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace trimlet {

class SessionEnd : public QObject {
    Q_OBJECT
public:
    explicit SessionEnd(std::function<void()> closeMainWindow, QObject* parent = nullptr);
    ~SessionEnd() override;

private:
    std::function<void()> close_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace trimlet
