#pragma once

#include <QObject>
#include <QString>
#include <optional>

class QLocalServer;
class QLocalSocket;

namespace trimlet {

// Keeps one running trimlet per executable file name and user. The first start listens on a
// local socket named after both; a later start finds it, asks it to raise its window and
// is told to exit. A renamed copy of the executable is a separate program.
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

    // Where the socket lives; it depends only on the name and the user.
    QString serverPath() const { return serverPath_; }

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
