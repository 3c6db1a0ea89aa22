#include <QApplication>
#include <QFileInfo>
#include <QFont>
#include <cstdio>

#include "app/automation.h"
#include "app/qt_translations.h"
#include "app/session_end.h"
#include "app/single_instance.h"
#include "forms/app_icon.h"
#include "forms/frm_about_box.h"
#include "forms/frm_main.h"
#include "forms/frm_preview.h"
#include "forms/frm_rot_free.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("trimlet"));
    QApplication::setApplicationVersion(QStringLiteral(TRIMLET_VERSION));
    QApplication::setWindowIcon(trimlet::applicationIcon());
    QFont font(QStringLiteral("IPAPGothic"));
    font.setPixelSize(12);
    QApplication::setFont(font);
    trimlet::installQtTranslations(app);

    trimlet::SingleInstance instance;
    if (!instance.isPrimary()) {
        // Steps that cannot run must not pass for steps that ran.
        if (!qEnvironmentVariableIsEmpty(trimlet::kActionsVariable)) {
            std::fprintf(stderr, "trimlet: %s: another trimlet is running; no step was run\n", trimlet::kActionsVariable);
            return 1;
        }
        return 0;
    }

    QStringList args = QApplication::arguments();
    args.removeFirst();
    // The path of a saved cut is remembered in the settings; a relative one would point
    // elsewhere once the program is started from another folder.
    for (QString& arg : args)
        if (!arg.isEmpty())
            arg = QFileInfo(arg).absoluteFilePath();
    trimlet::TfrmMain frmMain(args);
    trimlet::TfrmAboutBox frmAboutBox(&frmMain);
    trimlet::TfrmPreview frmPreview(&frmMain);
    trimlet::TfrmRotFree frmRotFree(&frmMain);
    frmMain.setPreviewWindow(&frmPreview);
    frmMain.setRotFreeWindow(&frmRotFree);
    frmRotFree.setMainWindow(&frmMain);
    frmPreview.setMainWindow(&frmMain);

    QObject::connect(&frmMain, &trimlet::TfrmMain::aboutRequested, &frmAboutBox, &QDialog::exec);
    QObject::connect(&instance, &trimlet::SingleInstance::raiseRequested, &frmMain, [&frmMain] {
        frmMain.show();
        frmMain.setWindowState(frmMain.windowState() & ~Qt::WindowMinimized);
        frmMain.raise();
        frmMain.activateWindow();
    });
    trimlet::SessionEnd sessionEnd(&frmMain);

    frmMain.show();
    // The first showing may ask a question (a large picture on the command line); a log-off
    // while it was open has closed everything already.
    if (sessionEnd.ended())
        return 0;
    const auto automation = trimlet::Automation::fromEnvironment(&frmMain);
    if (automation)
        automation->start();
    const int status = QApplication::exec();
    return automation && automation->failed() ? 1 : status;
}
