#pragma once

#include <QObject>
#include <QString>
#include <optional>

class QLocalServer;
class QLocalSocket;

namespace trimlet {

// Keeps one running trimlet per executable file name, user and graphical session. The first
// start listens on a local socket named after all three; a later start finds it, asks it to
// raise its window and is told to exit. A renamed copy of the executable is a separate
// program, and a start on another display runs a trimlet of its own there.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // name: the executable's file name; empty means this process's own.
    explicit SingleInstance(QString name = {}, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this process should run: no other instance answered (it now listens for
    // later starts), or the guard could not be set up. False after asking the running
    // instance to come forward; the caller then exits without using its command line.
    bool isPrimary();

    // Where the socket lives; it depends only on the name, the user and the session.
    QString serverPath() const { return serverPath_; }

    // The graphical session this process belongs to: its Wayland display, else its X
    // display without the screen number, else its login session; empty without any.
    static QString graphicalSession();

signals:
    // A later start asked the primary to show its main window.
    void raiseRequested();

private:
    bool askRunningInstance();
    void listen();
    void readRequests(QLocalSocket* client);

    QString serverPath_;
    QLocalServer* server_ = nullptr;
    std::optional<bool> primary_;
};

}  // namespace trimlet
