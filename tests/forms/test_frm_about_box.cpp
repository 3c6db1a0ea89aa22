#include <QtTest>

#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <functional>
#include <string>

#include "forms/about/frm_about_box.h"
#include "tests/forms/fake_desktop.h"

using trimlet::TfrmAboutBox;

namespace {

QLabel* label(const QWidget& box, const char* name) { return box.findChild<QLabel*>(QLatin1String(name)); }

}  // namespace

class FrmAboutBoxTest : public QObject {
    Q_OBJECT
private slots:
    void showsNameVersionAndCredits()
    {
        // Unset, Qt would name the program after the test executable.
        QCoreApplication::setApplicationName(QString());
        TfrmAboutBox box;
        QCOMPARE(box.windowTitle(), QStringLiteral("バージョン情報"));
        QCOMPARE(label(box, "lblProductName")->text(), QStringLiteral("trimlet"));
        QCOMPARE(label(box, "lblVersion")->text(), QStringLiteral("version 2.4.0.406"));
        QCOMPARE(label(box, "lblUrl")->text(), QStringLiteral("https://trimlet.invalid/"));
        QVERIFY(label(box, "Label3")->text().contains(QStringLiteral("libpng")));
        QVERIFY(label(box, "Label4")->text().contains(QStringLiteral("giflib")));
        QVERIFY(!label(box, "imgProgramIcon")->pixmap().isNull());
        // Every library the program is made of, in the window's order, with its version.
        QStringList named;
        for (int i = 0; const QLabel* each = label(box, ("lblLibrary" + std::to_string(i)).c_str()); ++i)
            named << each->text();
        QCOMPARE(named.join(QLatin1Char('|')), QStringLiteral(TRIMLET_EXPECTED_LIBRARIES));

        QCoreApplication::setApplicationName(QStringLiteral("trimlet beta"));
        QCOMPARE(label(TfrmAboutBox(), "lblProductName")->text(), QStringLiteral("trimlet beta"));
    }

    void fixedSizeCentredAndEveryTextFits()
    {
        TfrmAboutBox box;
        // As wide as ever, and as much taller as the list of libraries needs.
        QCOMPARE(box.minimumSize(), box.maximumSize());
        QCOMPARE(box.width(), 353);
        QVERIFY(box.height() > 207);
        QCOMPARE(box.geometry().center(), box.screen()->availableGeometry().center());
        const QList<QLabel*> labels = box.findChildren<QLabel*>();
        for (const QLabel* each : labels) {
            QVERIFY2(each->parentWidget()->rect().contains(each->geometry()), qPrintable(each->objectName()));
            for (const QLabel* other : labels)
                QVERIFY2(each == other || each->parentWidget() != other->parentWidget() ||
                             !each->geometry().intersects(other->geometry()),
                         qPrintable(each->objectName() + QLatin1Char(' ') + other->objectName()));
        }
    }

    void clickingTheLinkOpensThePage()
    {
        trimlet::test::FakeDesktop fake;
        TfrmAboutBox box;
        QLabel* lblUrl = label(box, "lblUrl");
        QTest::mouseClick(lblUrl, Qt::LeftButton);
        QCOMPARE(fake.openedUrls, std::vector<QUrl>{QUrl(QStringLiteral("https://trimlet.invalid/"))});

        // Letting go outside the link, or the other button, is no click.
        QTest::mousePress(lblUrl, Qt::LeftButton);
        QTest::mouseRelease(lblUrl, Qt::LeftButton, {}, QPoint(-5, -5));
        QTest::mouseClick(lblUrl, Qt::RightButton);
        QCOMPARE(fake.openedUrls.size(), 1u);
        QVERIFY(fake.messages.empty());

        // A desktop with no browser: the click says so.
        fake.urlsRefused = true;
        QTest::mouseClick(lblUrl, Qt::LeftButton);
        QCOMPARE(fake.openedUrls.size(), 2u);
        QCOMPARE(fake.messages.size(), 1u);
        QCOMPARE(fake.messages.back().kind, trimlet::MessageKind::Warning);
        QCOMPARE(fake.messages.back().text, QStringLiteral("ページ https://trimlet.invalid/ を開けませんでした。"));
    }

    void enterButtonAndCloseBoxCloseIt()
    {
        const std::function<void(TfrmAboutBox&)> closers[] = {
            [](TfrmAboutBox& box) { QTest::keyClick(&box, Qt::Key_Return); },
            [](TfrmAboutBox& box) {
                QTest::mouseClick(box.findChild<QPushButton*>(QStringLiteral("btnExit")), Qt::LeftButton);
            },
            [](TfrmAboutBox& box) { box.close(); },
        };
        for (const auto& close : closers) {
            TfrmAboutBox box;
            box.show();
            QVERIFY(QTest::qWaitForWindowExposed(&box));
            close(box);
            QVERIFY(!box.isVisible());
        }
    }
};

QTEST_MAIN(FrmAboutBoxTest)
#include "test_frm_about_box.moc"
