// The application object's last line: a failure escaping an event handler is reported and the
// program goes on.

#include <QtTest>

#include <QTimer>
#include <new>
#include <stdexcept>

#include "app/application.h"

using namespace trimlet;

namespace {

class Throwing : public QObject {
public:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User)
            throw std::bad_alloc();
        if (e->type() == QEvent::Type(QEvent::User + 1))
            throw std::runtime_error("broken");
        return QObject::event(e);
    }
};

}  // namespace

class ApplicationTest : public QObject {
    Q_OBJECT
private slots:
    void escapedFailuresAreReportedAndTheLoopGoesOn();
};

void ApplicationTest::escapedFailuresAreReportedAndTheLoopGoesOn()
{
    auto* app = static_cast<Application*>(QCoreApplication::instance());
    QStringList reports;
    app->setFailureReport([&](const QString& text) { reports << text; });

    Throwing target;
    QEvent memory(QEvent::User);
    QVERIFY(!QCoreApplication::sendEvent(&target, &memory));
    QCoreApplication::postEvent(&target, new QEvent(QEvent::Type(QEvent::User + 1)));
    // A slot that throws from a timer, inside the running event loop.
    bool after = false;
    QTimer::singleShot(0, [] { throw std::bad_alloc(); });
    QTimer::singleShot(10, [&] { after = true; });
    QTRY_VERIFY(after);

    QCOMPARE(reports.size(), 3);
    QCOMPARE(reports[0], outOfMemoryText());
    QCOMPARE(reports[1], QStringLiteral("処理中にエラーが発生したので、処理を中止しました。\nbroken"));
    QCOMPARE(reports[2], outOfMemoryText());
    app->setFailureReport({});
}

int main(int argc, char** argv)
{
    Application app(argc, argv);
    ApplicationTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_application.moc"
