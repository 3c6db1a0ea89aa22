// The main window's settings: reading them into the controls at the first showing, writing
// them back at closing, the background colour, and the cut-size preset menu.

#include <QAction>
#include <QButtonGroup>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSlider>

#include "forms/main/cut_set_choice.h"
#include "forms/main/frm_main.h"
#include "forms/main/output_commands.h"
#include "forms/main/preset_commands.h"
#include "forms/main/stored_settings.h"
#include "forms/main/work_area_widgets.h"
#include "forms/preview/frm_preview.h"
#include "forms/widgets/up_down.h"
#include "platform/desktop.h"
#include "platform/screens.h"
#include "settings/cut_size_presets.h"
#include "settings/settings_keys.h"

namespace trimlet {

void TfrmMain::setVisible(bool visible)
{
    // Given before the native window exists, the position is taken for the frame's, as it
    // was saved; given later, it would be the client area's.
    if (visible && !placement_)
        LoadPlacement();
    QMainWindow::setVisible(visible);
}

void TfrmMain::LoadPlacement()
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    placement_ = new PlacementTracker(this, readPlacement(settingsPath_, screen, minimumSize()));
}

void TfrmMain::LoadSettings()
{
    if (!placement_)
        LoadPlacement();
    const StoredSettings s = readStoredSettings(settingsPath_);
    if (TfrmPreview* preview = output_->previewWindow())
        preview->resize(s.previewWidth, s.previewHeight);

    setBackgroundColour(qColour(s.background));
    load_ = s.load;
    applyConsoleSettings(s);
}

Status TfrmMain::SaveSettings()
{
    StoredSettings s = consoleSettings();
    const TfrmPreview* window = output_->previewWindow();
    const QSize preview = window ? window->size() : QSize(keys::prevW.defaultValue, keys::prevH.defaultValue);
    s.previewWidth = preview.width();
    s.previewHeight = preview.height();
    s.background = toRgb(bgColour_);
    s.load = load_;
    const WindowPlacement place = placement_ ? placement_->placement() : WindowPlacement{pos(), size()};
    return writeStoredSettings(settingsPath_, storedPlacement(place), s);
}

void TfrmMain::setBackgroundColour(const QColor& colour)
{
    bgColour_ = colour;
    showBackgroundColour(colour);
}

void TfrmMain::connectPresetHandlers()
{
    new PresetCommands(this, {this, btnSizeLoad, btnSizeSave, popTpl, popTplItems, popTplScreen},
                       {[this]() -> const std::string& { return settingsPath_; },
                        [this]() -> const CutSettings& { return cutSettings(); },
                        [this](int width, int height) { setCutSize(width, height); },
                        [this] { return screenPixelSize(); }},
                       failureReport());
    cutSets->setWork({[this]() -> const std::string& { return settingsPath_; }, desktopScreens,
                      [this](int width, int height) { setCutSize(width, height); }});
}

QSize TfrmMain::screenPixelSize() const
{
    const QScreen* shown = screen();
    if (!shown)
        return {};
    // Qt sizes a screen in device-independent pixels; a cut for it wants the device's.
    const qreal ratio = shown->devicePixelRatio();
    return {qRound(shown->size().width() * ratio), qRound(shown->size().height() * ratio)};
}

}  // namespace trimlet
