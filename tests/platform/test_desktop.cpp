// The real desktop's dialogs as a person meets them: the name box is wide enough for its
// title, Enter gives a question's default answer, a folder the desktop cannot open is
// reported, and once the session ends nothing opens that would wait for an answer.

#include <QtTest>

#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLineEdit>
#include <functional>

#include "platform/desktop.h"
#include "tests/support/test_support.h"

using namespace trimlet;

namespace {

// Runs call; whatever modal window it opens is inspected by look and then cancelled.
// True when one was opened.
bool opensAWindow(const std::function<void()>& call, const std::function<void(QWidget*)>& look = {})
{
    bool opened = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            opened = true;
            if (look)
                look(modal);
            modal->close();
        }
    });
    poll.start(20);
    call();
    return opened;
}

}  // namespace

class DesktopTest : public QObject {
    Q_OBJECT
private slots:
    void nameBoxIsWideEnoughForItsTitle()
    {
        const QString title = QStringLiteral("横WUXGA(1920×1200)を上書きします");
        int width = 0;
        int titleWidth = 0;
        QVERIFY(opensAWindow([&] { QVERIFY(!desktop().inputText(nullptr, title, QStringLiteral("名前"), {})); },
                             [&](QWidget* box) {
                                 QCOMPARE(box->windowTitle(), title);
                                 QFont bold = box->font();
                                 bold.setBold(true);
                                 titleWidth = QFontMetrics(bold).horizontalAdvance(title);
                                 width = box->width();
                             }));
        QVERIFY2(width > titleWidth + 100, qPrintable(QStringLiteral("%1 for %2").arg(width).arg(titleWidth)));

        // What is typed comes back; the initial text is offered.
        QTimer::singleShot(50, [] {
            auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            QVERIFY(box);
            QCOMPARE(box->textValue(), QStringLiteral("古い名前"));
            box->setTextValue(QStringLiteral("壁紙"));
            box->accept();
        });
        QCOMPARE(desktop().inputText(nullptr, title, QStringLiteral("名前"), QStringLiteral("古い名前")),
                 std::optional<QString>(QStringLiteral("壁紙")));
    }

    void enterGivesTheQuestionsDefaultAnswer()
    {
        for (const DefaultAnswer byDefault : {DefaultAnswer::Yes, DefaultAnswer::No}) {
            bool answer = byDefault == DefaultAnswer::No;
            QVERIFY(opensAWindow(
                [&] { answer = desktop().askYesNo(nullptr, MessageKind::Warning, QStringLiteral("?"), byDefault); },
                [](QWidget* box) { QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, Qt::Key_Return); }));
            QCOMPARE(answer, byDefault == DefaultAnswer::Yes);
        }
    }

    void folderTheDesktopCannotOpenIsReported()
    {
        // Without a program to hand folders to, as on a desktop with no file manager; then
        // with one that takes the folder.
        test::TempDir bin;
        const QUrl folder = QUrl::fromLocalFile(QString::fromStdString(bin.path()));
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", bin.path().c_str());
        qunsetenv("BROWSER");  // also taken for a launcher
        qunsetenv("DEFAULT_BROWSER");
        QVERIFY(!desktop().openUrl(folder));
        const std::string script = "#!/bin/sh\necho \"$1\" > \"$0.called\"\n";
        test::writeBytes(bin.file("xdg-open"), {script.begin(), script.end()});
        QFile::setPermissions(QString::fromStdString(bin.file("xdg-open")), QFile::ReadOwner | QFile::ExeOwner);
        const bool opened = desktop().openUrl(folder);
        qputenv("PATH", path);
        QVERIFY(opened);
        const auto calledWith = [&] {
            QFile called(QString::fromStdString(bin.file("xdg-open.called")));
            return called.open(QIODevice::ReadOnly) ? called.readAll().trimmed() : QByteArray();
        };
        QTRY_COMPARE(calledWith(), folder.toEncoded());
    }

    // Last: the end of the session is for good.
    void afterTheSessionEndsNothingWaitsForAnAnswer()
    {
        QVERIFY(!sessionEnding());
        QVERIFY(opensAWindow([] { desktop().message(nullptr, MessageKind::Information, QStringLiteral("まだ")); }));
        setSessionEnding();
        QVERIFY(sessionEnding());
        QVERIFY(!opensAWindow([] { desktop().message(nullptr, MessageKind::Warning, QStringLiteral("終わり")); }));
        QVERIFY(!opensAWindow([] {
            QVERIFY(!desktop().askYesNo(nullptr, MessageKind::Warning, QStringLiteral("?"), DefaultAnswer::Yes));
        }));
        QVERIFY(!opensAWindow([] { QVERIFY(desktop().openFileName(nullptr, {}).isEmpty()); }));
        QVERIFY(!opensAWindow([] { QVERIFY(desktop().saveFileName(nullptr, {}).isEmpty()); }));
        QVERIFY(!opensAWindow([] { QVERIFY(!desktop().chooseColor(nullptr, Qt::red)); }));
        QVERIFY(!opensAWindow([] { QVERIFY(!desktop().inputText(nullptr, {}, {}, {})); }));
    }
};

QTEST_MAIN(DesktopTest)
#include "test_desktop.moc"
