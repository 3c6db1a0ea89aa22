#include "app/application.h"

namespace trimlet {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event)
{
    bool handled = false;
    runGuarded([&] { handled = QApplication::notify(receiver, event); }, report_);
    return handled;
}

}  // namespace trimlet
