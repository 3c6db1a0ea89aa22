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

#include "forms/main/frm_main.h"
#include "forms/main/preset_menu.h"
#include "forms/main/stored_settings.h"
#include "forms/preview/frm_preview.h"
#include "forms/widgets/up_down.h"
#include "platform/desktop.h"
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
    if (frmPreview_)
        frmPreview_->resize(s.previewWidth, s.previewHeight);

    setBackgroundColour(qColour(s.background));
    colourManagement_ = s.colourManagement;
    applyConsoleSettings(s);
}

Status TfrmMain::SaveSettings()
{
    StoredSettings s = consoleSettings();
    const QSize preview = frmPreview_ ? frmPreview_->size() : QSize(keys::prevW.defaultValue, keys::prevH.defaultValue);
    s.previewWidth = preview.width();
    s.previewHeight = preview.height();
    s.background = rgbOf(bgColour_);
    s.colourManagement = colourManagement_;
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
    for (int i = 0; i < 20; ++i)
        connect(popTplItems[i], &QAction::triggered, this, guarded([this, i] {
                    popTpl->close();
                    itemCutSizeClick(i);
                }));
    connect(popTplScreen, &QAction::triggered, this, guarded([this] {
                popTpl->close();
                itemScreenSizeClick();
            }));
    connect(btnSizeLoad, &QPushButton::clicked, this, guarded([this] { btnSizeLoadAndSaveClick(btnSizeLoad); }));
    connect(btnSizeSave, &QPushButton::clicked, this, guarded([this] { btnSizeLoadAndSaveClick(btnSizeSave); }));
}

void TfrmMain::btnSizeLoadAndSaveClick(QPushButton* sender)
{
    for (int i = 0; i < 20; ++i)
        popTplItems[i]->setText(presetMenuCaption(readPreset(settingsPath_, i)));
    presetButton = sender;
    // The screen's size can be recalled, not overwritten.
    const QSize screen = screenPixelSize();
    popTplScreen->setText(tr("この画面 (%1×%2)").arg(screen.width()).arg(screen.height()));
    popTplScreen->setVisible(sender == btnSizeLoad && !screen.isEmpty());
    // Right-aligned to "呼出", left-aligned to "記憶".
    popupBelow(popTpl, sender, sender == btnSizeLoad);
}

void TfrmMain::itemCutSizeClick(int slot)
{
    const CutSizePreset preset = readPreset(settingsPath_, slot);
    if (presetButton == btnSizeLoad)
        return setCutSize(preset.width, preset.height);
    const auto name = desktop().inputText(this, tr("%1を上書きします").arg(popTplItems[slot]->text()),
                                          tr("新しい名前を入力してください"), presetName(preset.name));
    if (!name)
        return;
    const Status s = writePreset(settingsPath_, slot, {name->toStdString(), cutSettings().width, cutSettings().height});
    if (!s)
        desktop().message(this, MessageKind::Error, QString::fromStdString(s.error().message));
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

void TfrmMain::itemScreenSizeClick()
{
    const QSize size = screenPixelSize();
    if (!size.isEmpty())
        setCutSize(size.width(), size.height());
}

}  // namespace trimlet
