// Log-off while dialogs are open inside one another, the innermost one busy and refusing to
// close at once: every dialog and menu is cancelled, the busy one is asked to stop, the main
// window closes through its normal path once, and every event loop is left, the outermost
// one included. One test per program: leaving every loop is for good.

#include <QtTest>

#include <QDialog>
#include <QMenu>

#include "app/session_end.h"
#include "platform/desktop.h"

namespace {

class MainWindow : public QWidget {
public:
    int closes = 0;

protected:
    void closeEvent(QCloseEvent* event) override
    {
        ++closes;
        QWidget::closeEvent(event);
    }
};

// Like the free rotation while it runs: asked to close, it only asks its work to stop.
class BusyDialog : public QDialog {
public:
    using QDialog::QDialog;
    bool stopAsked = false;

    void done(int result) override
    {
        if (!stopAsked) {
            stopAsked = true;
            return;
        }
        QDialog::done(result);
    }
};

}  // namespace

class SessionEndTest : public QObject {
    Q_OBJECT
private slots:
    void endsEveryLoopWhateverIsOpen()
    {
        MainWindow main;
        main.show();
        QDialog outer(&main);
        BusyDialog busy(&main);
        QMenu menu(&busy);
        menu.addAction(QStringLiteral("item"));
        trimlet::SessionEnd session(&main);
        QStringList returned;

        // main loop → dialog → busy dialog → menu, then the session ends.
        QTimer::singleShot(0, &outer, [&] {
            QTimer::singleShot(0, &busy, [&] {
                QTimer::singleShot(0, &menu, [&] {
                    QTimer::singleShot(100, &session, [&] { session.end(); });
                    menu.exec(QPoint(10, 10));
                    returned << QStringLiteral("menu");
                });
                busy.exec();
                returned << QStringLiteral("busy");
            });
            outer.exec();
            returned << QStringLiteral("outer");
        });
        QTimer watchdog;
        watchdog.setSingleShot(true);
        connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        watchdog.start(5000);
        QCOMPARE(QCoreApplication::exec(), 0);

        QCOMPARE(returned, QStringList({QStringLiteral("menu"), QStringLiteral("busy"), QStringLiteral("outer")}));
        QVERIFY(session.ended());
        QVERIFY(trimlet::sessionEnding());
        QCOMPARE(main.closes, 1);
        QVERIFY(!main.isVisible() && !outer.isVisible() && !menu.isVisible());
        QVERIFY(busy.stopAsked);
        session.end();  // a second signal changes nothing
        QCOMPARE(main.closes, 1);
    }
};

QTEST_MAIN(SessionEndTest)
#include "test_session_end.moc"
