#pragma once
// The application object. Every handler of the windows reports its own failures; whatever
// still escapes an event handler (Qt's own allocations can throw too) is caught here, the last
// frame before the event loop, reported, and the program goes on instead of ending with the
// user's edits.

#include <QApplication>

#include "forms/widgets/guarded.h"

namespace trimlet {

class Application : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);

    // Where escaped failures are reported (the main window's error box); standard error until set.
    void setFailureReport(FailureReport report) { report_ = std::move(report); }

    bool notify(QObject* receiver, QEvent* event) override;

private:
    FailureReport report_;
};

}  // namespace trimlet
