#include <QtTest>

#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "app/single_instance.h"

using trimlet::SingleInstance;

namespace {

// Unique per run, so parallel test runs do not meet.
QString freshName()
{
    static int counter = 0;
    return QStringLiteral("trimlet-test-%1-%2").arg(QCoreApplication::applicationPid()).arg(++counter);
}

// What a crashed instance leaves behind: a socket file that nobody listens on.
bool leaveStaleSocket(const QString& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray bytes = QFile::encodeName(path);
    std::memcpy(address.sun_path, bytes.constData(), qMin<size_t>(bytes.size(), sizeof address.sun_path - 1));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

// "--child NAME RAISES AT": from AT (ms since the epoch) on, either prints "primary" and waits
// for RAISES requests, or prints "not primary" and exits with 2.
int runChild(const QString& name, int raises, qint64 at)
{
    QThread::msleep(qMax<qint64>(0, at - QDateTime::currentMSecsSinceEpoch()));
    SingleInstance instance(name);
    if (!instance.isPrimary()) {
        std::puts("not primary");
        return 2;
    }
    std::puts("primary");
    std::fflush(stdout);
    int received = 0;
    QObject::connect(&instance, &SingleInstance::raiseRequested, [&] {
        if (++received == raises)
            QCoreApplication::quit();
    });
    QTimer::singleShot(15000, [] { QCoreApplication::exit(1); });
    const int code = QCoreApplication::exec();
    std::printf("raised %d\n", received);
    return code;
}

std::unique_ptr<QProcess> startChild(const QString& name, int raises, qint64 at = 0)
{
    auto child = std::make_unique<QProcess>();
    child->start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--child"), name, QString::number(raises), QString::number(at)});
    return child;
}

QByteArray rest(QProcess& child)
{
    child.waitForFinished(20000);
    return child.readAllStandardOutput();
}

}  // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT
private slots:
    void laterStartAsksTheFirstToRaise()
    {
        const QString name = freshName();
        auto first = std::make_unique<SingleInstance>(name);
        QSignalSpy raised(first.get(), &SingleInstance::raiseRequested);
        QVERIFY(first->isPrimary());
        QVERIFY(first->isPrimary());  // asking again does not knock on its own door
        QVERIFY(!SingleInstance(name).isPrimary());
        QTRY_COMPARE(raised.count(), 1);

        QVERIFY(SingleInstance(freshName()).isPrimary());
        first.reset();
        QVERIFY(SingleInstance(name).isPrimary());

        const QString ownName = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
        QVERIFY(SingleInstance().serverPath().contains(ownName));
        QVERIFY(QFile::encodeName(SingleInstance(QString(200, QLatin1Char('x'))).serverPath()).size() < 108);
    }

    // One trimlet per graphical session: Wayland first, then X without the screen number,
    // then the login session.
    void sessionsAreToldApartButNotTheirSpellings()
    {
        const QByteArray before[] = {qgetenv("WAYLAND_DISPLAY"), qgetenv("DISPLAY"), qgetenv("XDG_SESSION_ID")};
        const auto sessionFor = [](const char* wayland, const char* display, const char* login) {
            for (const auto& [name, value] :
                 {std::pair{"WAYLAND_DISPLAY", wayland}, {"DISPLAY", display}, {"XDG_SESSION_ID", login}})
                value ? qputenv(name, value) : qunsetenv(name);
            return std::pair(SingleInstance::graphicalSession(),
                             SingleInstance(QStringLiteral("trimlet")).serverPath());
        };
        const auto x0 = sessionFor(nullptr, ":0", "3");
        QCOMPARE(x0.first, QStringLiteral(":0"));
        QCOMPARE(sessionFor(nullptr, ":0.1", "4"), x0);
        QCOMPARE(sessionFor(nullptr, "unix:0.0", nullptr), x0);
        QVERIFY(sessionFor(nullptr, ":1", "3").second != x0.second);
        QVERIFY(sessionFor(nullptr, "otherhost:0", "3").second != x0.second);
        QCOMPARE(sessionFor("wayland-1", ":0", "3").first, QStringLiteral("wayland-1"));
        QVERIFY(sessionFor("wayland-1", ":0", "3").second != sessionFor("wayland-2", ":0", "3").second);
        QCOMPARE(sessionFor(nullptr, nullptr, "7").first, QStringLiteral("session-7"));
        QCOMPARE(sessionFor(nullptr, nullptr, nullptr).first, QString());

        // Whatever a display is called, the socket stays one file in the runtime folder.
        const QString runtime = QFileInfo(x0.second).absolutePath();
        for (const char* odd : {"/run/user/1000/wayland-0", "../../x", "host name:0", "wayland-\xe2\x80\x94"}) {
            const QString path = sessionFor(odd, nullptr, nullptr).second;
            QCOMPARE(QFileInfo(path).absolutePath(), runtime);
            QVERIFY2(!QFileInfo(path).fileName().contains(QLatin1Char(' ')), qPrintable(path));
        }
        QVERIFY(QFile::encodeName(sessionFor(QByteArray(300, 'w').constData(), nullptr, nullptr).second).size() < 108);

        const auto orNull = [](const QByteArray& v) { return v.isEmpty() ? nullptr : v.constData(); };
        sessionFor(orNull(before[0]), orNull(before[1]), orNull(before[2]));
    }

    void socketLeftByACrashIsTakenOver()
    {
        const QString name = freshName();
        SingleInstance instance(name);
        QVERIFY(leaveStaleSocket(instance.serverPath()));
        QVERIFY(instance.isPrimary());
        QSignalSpy raised(&instance, &SingleInstance::raiseRequested);
        QVERIFY(!SingleInstance(name).isPrimary());
        QTRY_COMPARE(raised.count(), 1);
    }

    void secondProcessExitsAndRaisesTheFirst()
    {
        const QString name = freshName();
        auto first = startChild(name, 1);
        QVERIFY(first->waitForReadyRead(10000));
        QCOMPARE(first->readLine(), QByteArray("primary\n"));

        auto second = startChild(name, 1);
        QVERIFY(second->waitForFinished(5000));
        QCOMPARE(second->exitCode(), 2);
        QCOMPARE(rest(*second), QByteArray("not primary\n"));
        QCOMPARE(rest(*first), QByteArray("raised 1\n"));
    }

    // Opening several files at once starts several processes together; after a crash only
    // one of them may take the stale socket over.
    void simultaneousStartsAfterACrashElectOne()
    {
        const QString name = freshName();
        QVERIFY(leaveStaleSocket(SingleInstance(name).serverPath()));
        const qint64 together = QDateTime::currentMSecsSinceEpoch() + 500;
        std::vector<std::unique_ptr<QProcess>> children;
        for (int i = 0; i < 4; ++i)
            children.push_back(startChild(name, 3, together));
        QByteArrayList outputs;
        for (auto& child : children)
            outputs.append(rest(*child));
        std::sort(outputs.begin(), outputs.end());
        QCOMPARE(outputs, QByteArrayList({"not primary\n", "not primary\n", "not primary\n", "primary\nraised 3\n"}));
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 5 && qstrcmp(argv[1], "--child") == 0)
        return runChild(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toInt(), QByteArray(argv[4]).toLongLong());
    // A runtime folder of its own keeps the test's sockets away from the user's.
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    SingleInstanceTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_single_instance.moc"
