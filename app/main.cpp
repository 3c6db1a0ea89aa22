#include <QFont>
#include <QStyle>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/automation.h"
#include "app/qt_translations.h"
#include "app/session_end.h"
#include "app/single_instance.h"
#include "base/byte_path.h"
#include "base/version.h"
#include "forms/about/frm_about_box.h"
#include "forms/main/early_look.h"
#include "forms/main/frm_main.h"
#include "forms/main/photo_prefetch.h"
#include "forms/preview/frm_preview.h"
#include "forms/rotation/frm_rot_free.h"
#include "forms/widgets/app_icon.h"
#include "forms/widgets/focus_style.h"
#include "platform/paths.h"
#include "platform/trace.h"
#include "settings/settings_path.h"

int main(int argc, char** argv)
{
    // Answered before Qt starts, so that scripts and package checks need no display.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("trimlet %s\n", trimlet::kVersion);
        return 0;
    }
    trimlet::trace("start");
    // The command-line picture's first look decodes while Qt and the windows are set up.
    auto look = trimlet::EarlyLook::fromCommandLine(argc, argv, trimlet::settingsFilePath());
    // Takes its own options (-platform, …) out of argv.
    trimlet::Application app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("trimlet"));
    QApplication::setApplicationVersion(QString::fromLatin1(trimlet::kVersion));
    QApplication::setStyle(new trimlet::FocusStyle(QApplication::style()->name()));
    QFont font(QStringLiteral("IPAPGothic"));
    font.setPixelSize(12);
    QApplication::setFont(font);
    trimlet::installQtTranslations(app, trimlet::uiLanguageFromEnvironment());

    trimlet::SingleInstance instance;
    if (!instance.isPrimary()) {
        // Steps that cannot run must not pass for steps that ran.
        if (!qEnvironmentVariableIsEmpty(trimlet::kActionsVariable)) {
            std::fprintf(stderr, "trimlet: %s: another trimlet is running; no step was run\n",
                         trimlet::kActionsVariable);
            return 1;
        }
        return 0;
    }

    // The arguments' own bytes: QApplication::arguments() loses a name that is not UTF-8.
    // The path of a saved cut is remembered in the settings; a relative one would point
    // elsewhere once the program is started from another folder.
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(trimlet::absoluteLocalPath(argv[i]));
    // Decoded while the windows are built and first painted: those are the user's wait too.
    auto prefetch = args.empty()
                        ? nullptr
                        : trimlet::prefetchCommandLinePhoto(args.front(), trimlet::settingsFilePath(), std::move(look));
    trimlet::TfrmMain frmMain(args);
    frmMain.setPrefetch(std::move(prefetch));
    trimlet::TfrmAboutBox frmAboutBox(&frmMain);
    trimlet::TfrmPreview frmPreview(&frmMain);
    trimlet::TfrmRotFree frmRotFree(&frmMain);
    frmMain.setPreviewWindow(&frmPreview);
    frmMain.setRotFreeWindow(&frmRotFree);

    QObject::connect(&frmMain, &trimlet::TfrmMain::aboutRequested, &frmAboutBox, &QDialog::exec);
    QObject::connect(&instance, &trimlet::SingleInstance::raiseRequested, &frmMain, [&frmMain] {
        frmMain.show();
        frmMain.setWindowState(frmMain.windowState() & ~Qt::WindowMinimized);
        frmMain.raise();
        frmMain.activateWindow();
    });
    trimlet::SessionEnd sessionEnd(&frmMain);
    app.setFailureReport(frmMain.failureReport());

    // Started as the first showing turns to the command-line picture, so that the steps find
    // it loaded, or reach a box its loading opens (the question about a very large picture).
    const auto automation = trimlet::Automation::fromEnvironment(&frmMain);
    // The frames' icon once the window is painted: made and sent at the window's creation, it
    // held the first paint up by several milliseconds.
    QObject::connect(
        &frmMain, &trimlet::TfrmMain::startupLoading, &app,
        [] { QApplication::setWindowIcon(trimlet::windowManagerIcon()); }, Qt::SingleShotConnection);
    if (automation)
        QObject::connect(&frmMain, &trimlet::TfrmMain::startupLoading, automation.get(), &trimlet::Automation::start,
                         Qt::SingleShotConnection);
    frmMain.show();
    // Steps or a log-off during such a box may have closed the window already; quit() did
    // nothing then.
    const int status = frmMain.isVisible() && !sessionEnd.ended() ? QApplication::exec() : 0;
    app.setFailureReport({});
    return automation && automation->failed() ? 1 : status;
}
