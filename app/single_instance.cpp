#include "app/single_instance.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <algorithm>
#include <unistd.h>

namespace trimlet {

namespace {

const QByteArray raiseRequest = QByteArrayLiteral("raise\n");

// Socket file names keep to a safe set of characters; a display may be a path or a host name.
QString fileNamePiece(const QString& text)
{
    QString piece = text;
    for (QChar& c : piece)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('-') && c != QLatin1Char('.'))
            c = QLatin1Char('_');
    return piece;
}

QString socketPath(const QString& name, const QString& session)
{
    // The runtime folder belongs to the user alone, so nobody else can stand in for the
    // running instance; /tmp is the fallback and the user id keeps users apart there too.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    QString owner = QString::number(getuid());
    if (!session.isEmpty())
        owner += QLatin1Char('.') + fileNamePiece(session);
    QString path = QDir(folder).filePath(QStringLiteral("%1.%2.instance").arg(name, owner));
    // A Unix socket path holds at most 107 bytes; a long name is replaced by its digest.
    if (QFile::encodeName(path).size() > 100) {
        const QByteArray digest =
            QCryptographicHash::hash((name + QLatin1Char('\n') + session).toUtf8(), QCryptographicHash::Sha1).toHex();
        path = QDir(folder).filePath(
            QStringLiteral("%1.%2.instance").arg(QString::fromLatin1(digest), QString::number(getuid())));
    }
    return path;
}

}  // namespace

SingleInstance::SingleInstance(QString name, QObject* parent) : QObject(parent)
{
    if (name.isEmpty())
        name = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    serverPath_ = socketPath(name, graphicalSession());
}

QString SingleInstance::graphicalSession()
{
    const QString wayland = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (!wayland.isEmpty())
        return wayland;
    const QString display = qEnvironmentVariable("DISPLAY");
    if (!display.isEmpty()) {
        // ":0", ":0.0" and "unix:0" are one server; the screen number does not matter.
        const qsizetype colon = display.lastIndexOf(QLatin1Char(':'));
        QString host = display.left(std::max<qsizetype>(colon, 0));
        if (host == QLatin1String("unix"))
            host.clear();
        return host + QLatin1Char(':') + display.mid(colon + 1).section(QLatin1Char('.'), 0, 0);
    }
    const QString login = qEnvironmentVariable("XDG_SESSION_ID");
    return login.isEmpty() ? QString() : QStringLiteral("session-") + login;
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::isPrimary()
{
    if (primary_)
        return *primary_;
    // Starts that come together (several files opened at once) take turns, so that only one
    // of them can take over a socket left by a crashed run. Without the lock they still run.
    QLockFile turn(serverPath_ + QStringLiteral(".lock"));
    turn.tryLock(3000);
    primary_ = !askRunningInstance();
    return *primary_;
}

bool SingleInstance::askRunningInstance()
{
    QLocalSocket socket;
    socket.connectToServer(serverPath_);
    if (socket.waitForConnected(1000)) {
        socket.write(raiseRequest);
        socket.waitForBytesWritten(1000);
        socket.disconnectFromServer();
        return true;
    }
    // Refused means a socket file without a listener: a crashed run, safe to take over.
    // Anything else (a listener too busy to accept) is left alone and this start runs unguarded.
    const auto error = socket.error();
    if (error == QLocalSocket::ServerNotFoundError || error == QLocalSocket::ConnectionRefusedError)
        listen();
    else
        qWarning("trimlet: the running instance did not answer (%s)", qPrintable(socket.errorString()));
    return false;
}

void SingleInstance::listen()
{
    QLocalServer::removeServer(serverPath_);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = server_->nextPendingConnection()) {
            connect(client, &QLocalSocket::readyRead, this, [this, client] { readRequests(client); });
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            readRequests(client);
        }
    });
    if (!server_->listen(serverPath_))
        qWarning("trimlet: cannot listen for later starts (%s)", qPrintable(server_->errorString()));
}

void SingleInstance::readRequests(QLocalSocket* client)
{
    while (client->canReadLine()) {
        if (client->readLine() == raiseRequest)
            emit raiseRequested();
    }
    // Whatever sends more than a request's worth without a line break is not a trimlet.
    if (client->bytesAvailable() > 64)
        client->abort();
}

}  // namespace trimlet
