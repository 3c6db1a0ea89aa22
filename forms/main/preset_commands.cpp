#include "forms/main/preset_commands.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>

#include "document/stored_settings.h"
#include "forms/main/preset_menu.h"
#include "platform/desktop.h"

namespace trimlet {

PresetCommands::PresetCommands(QObject* parent, const Controls& controls, Work work, const FailureReport& failure)
    : QObject(parent), c_(controls), work_(std::move(work))
{
    const auto guarded = [&failure](auto handler) { return guardedSlot(std::move(handler), failure); };
    for (int i = 0; i < 20; ++i)
        connect(c_.items[i], &QAction::triggered, this, guarded([this, i] {
                    c_.menu->close();
                    choose(i);
                }));
    connect(c_.screenItem, &QAction::triggered, this, guarded([this] {
                c_.menu->close();
                if (const QSize size = work_.screenSize(); !size.isEmpty())
                    work_.setCutSize(size.width(), size.height());
            }));
    connect(c_.recall, &QPushButton::clicked, this, guarded([this] { open(c_.recall); }));
    connect(c_.store, &QPushButton::clicked, this, guarded([this] { open(c_.store); }));
}

void PresetCommands::open(QPushButton* sender)
{
    for (int i = 0; i < 20; ++i)
        c_.items[i]->setText(presetMenuCaption(readPreset(work_.settingsPath(), i)));
    opener_ = sender;
    // The screen's size can be recalled, not overwritten.
    const QSize screen = work_.screenSize();
    c_.screenItem->setText(tr("この画面 (%1×%2)").arg(screen.width()).arg(screen.height()));
    c_.screenItem->setVisible(sender == c_.recall && !screen.isEmpty());
    // Right-aligned to "呼出", left-aligned to "記憶".
    popupBelow(c_.menu, sender, sender == c_.recall);
}

void PresetCommands::choose(int slot)
{
    const std::string& path = work_.settingsPath();
    const CutSizePreset preset = readPreset(path, slot);
    if (opener_ == c_.recall)
        return work_.setCutSize(preset.width, preset.height);
    const auto name = desktop().inputText(c_.window, tr("%1を上書きします").arg(c_.items[slot]->text()),
                                          tr("新しい名前を入力してください"), presetName(preset.name));
    if (!name)
        return;
    const CutSettings& cut = work_.cut();
    if (const Status s = writePreset(path, slot, {name->toStdString(), cut.width, cut.height}); !s)
        desktop().message(c_.window, MessageKind::Error, QString::fromStdString(s.error().message));
}

}  // namespace trimlet
