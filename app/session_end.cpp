#include "app/session_end.h"

#include <QApplication>
#include <QDialog>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QWidget>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/desktop.h"

namespace trimlet {

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(signalPipe[1], &byte, 1);
}

}  // namespace

SessionEnd::SessionEnd(QWidget* mainWindow, QObject* parent) : QObject(parent), mainWindow_(mainWindow)
{
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { end(); });

    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char byte;
        [[maybe_unused]] const auto n = ::read(signalPipe[0], &byte, 1);
        end();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
}

SessionEnd::~SessionEnd()
{
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGHUP, SIG_DFL);
}

void SessionEnd::end()
{
    if (ended_)
        return;
    ended_ = true;
    // Nobody is left to answer a box: the closing's own warnings go to standard error.
    setSessionEnding();
    for (int menus = 0; menus < 16 && QApplication::activePopupWidget(); ++menus)
        QApplication::activePopupWidget()->close();
    // A dialog that refuses (a rotation that has to stop first) only holds back its own
    // loop, which the exit below leaves anyway.
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(window); dialog && dialog->isVisible())
            dialog->reject();
    mainWindow_->close();
    // exit(), not quit(): quit asks every window to close and gives up when one refuses.
    QCoreApplication::exit(0);
}

}  // namespace trimlet
