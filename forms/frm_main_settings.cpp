// The main window's settings: reading them into the controls at the first showing, writing
// them back at closing, the background colour, and the cut-size preset menu.

#include <QButtonGroup>
#include <QGridLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QToolButton>
#include <QWidgetAction>
#include <filesystem>

#include "forms/frm_main.h"
#include "forms/up_down.h"
#include "platform/desktop.h"
#include "platform/paths.h"
#include "platform/window_placement.h"
#include "settings/cut_size_presets.h"
#include "settings/settings_keys.h"

namespace trimlet {

namespace {

int readKey(const ProfileFile& f, const keys::IntKey& k) { return f.readInt(k.section, k.key, k.defaultValue); }

Status writeKey(ProfileFile& f, const keys::IntKey& k, int value) { return f.writeInt(k.section, k.key, value); }

// Colours are stored as 0x00BBGGRR; anything with a high byte (the sibling program's system
// colour codes, or nonsense) falls back to white.
QColor colourFromSetting(int value)
{
    if (value < 0 || value > 0xFFFFFF)
        return Qt::white;
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

int settingFromColour(const QColor& c) { return c.red() | c.green() << 8 | c.blue() << 16; }

// The join group's stored code: 1..4 for the buttons in order, 2 also for none down.
int groupCode(std::initializer_list<QToolButton*> buttons)
{
    const QToolButton* const* b = buttons.begin();
    if (b[0]->isChecked())
        return 1;
    if (b[2]->isChecked())
        return 3;
    if (b[3]->isChecked())
        return 4;
    return 2;
}

void pressGroupCode(std::initializer_list<QToolButton*> buttons, int code)
{
    if (code < 1 || code > 4)
        return;
    buttons.begin()[code - 1]->setChecked(true);  // the group's toggle handler raises the others
}

// The preset menu is a grid of buttons, which a menu's own keys do not reach: the arrows walk
// the items in order (the second column follows the first), left and right switch columns,
// Home and End go to the ends, and Return, Enter or Space choose.
class PresetGridKeys : public QObject {
public:
    PresetGridKeys(std::vector<QToolButton*> buttons, int rows, QObject* parent)
        : QObject(parent), buttons_(std::move(buttons)), rows_(rows)
    {
        for (QToolButton* b : buttons_)
            b->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto at = std::find(buttons_.begin(), buttons_.end(), watched);
        if (at == buttons_.end())
            return false;
        const int n = int(buttons_.size());
        const int i = int(at - buttons_.begin());
        int next = i;
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Up: next = (i + n - 1) % n; break;
        case Qt::Key_Down: next = (i + 1) % n; break;
        case Qt::Key_Left: next = (i + n - rows_) % n; break;
        case Qt::Key_Right: next = (i + rows_) % n; break;
        case Qt::Key_Home: next = 0; break;
        case Qt::Key_End: next = n - 1; break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space: buttons_[i]->defaultAction()->trigger(); return true;
        default: return false;
        }
        buttons_[next]->setFocus(Qt::TabFocusReason);
        return true;
    }

private:
    std::vector<QToolButton*> buttons_;
    int rows_;
};

// The sibling program's file counts only as a regular file: a FIFO, folder or device of that
// name reads as nothing and would put the sibling's defaults over the user's cut size.
bool siblingPresent(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

void selectRadio(QButtonGroup* group, int index)
{
    index = std::clamp(index, -1, 1);
    group->setExclusive(false);
    for (QAbstractButton* b : group->buttons())
        b->setChecked(group->id(b) == index);
    group->setExclusive(true);
}

}  // namespace

void TfrmMain::applySpin(UpDown* ud, QLineEdit* edit, int value)
{
    ud->setPosition(std::int16_t(value));  // the control keeps the low 16 bits, signed
    edit->setText(QString::number(ud->position()));
}

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
    const ProfileFile file(settingsPath_);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    WindowPlacement stored;
    stored.clientSize = QSize(readKey(file, keys::mainW), readKey(file, keys::mainH)).expandedTo(minimumSize());
    const QSize size = stored.clientSize;
    stored.framePos = QPoint(file.readInt(keys::mainX.section, keys::mainX.key, (screen.width() - size.width()) / 2),
                             file.readInt(keys::mainY.section, keys::mainY.key, (screen.height() - size.height()) / 2));
    stored.maximised = readKey(file, keys::mainMax) == 1;
    placement_ = new PlacementTracker(this, fitPlacement(stored, screen, minimumSize()));
}

void TfrmMain::LoadSettings()
{
    if (!placement_)
        LoadPlacement();
    const ProfileFile file(settingsPath_);

    if (frmPreview_)
        frmPreview_->resize(readKey(file, keys::prevW), readKey(file, keys::prevH));

    applySpin(udPower, edtPower, readKey(file, keys::power));
    tbarQual->setValue(std::clamp(readKey(file, keys::quality), 1, 100));
    tbarQualChange();
    applySpin(udSizeW, edtSizeW, readKey(file, keys::width));
    applySpin(udSizeH, edtSizeH, readKey(file, keys::height));
    selectRadio(rdgpFormatItems, readKey(file, keys::format));
    rdgpFormatClick();
    selectRadio(rdgpTailItems, readKey(file, keys::tail));
    pressGroupCode({spdTop, spdTopBottom, spdBottom, spdTopBottomCut}, readKey(file, keys::topBottom));
    pressGroupCode({spdLeft, spdLeftRight, spdRight, spdLeftRightCut}, readKey(file, keys::leftRight));
    setBackgroundColour(colourFromSetting(readKey(file, keys::bgColor)));

    const std::string siblingPath = siblingSettingsPath(settingsPath_);
    if (siblingPresent(siblingPath)) {
        const ProfileFile sibling(siblingPath);
        tbarQual->setValue(std::clamp(readKey(sibling, keys::siblingQuality), 1, 100));
        tbarQualChange();
        applySpin(udSizeW, edtSizeW, readKey(sibling, keys::siblingWidth));
        applySpin(udSizeH, edtSizeH, readKey(sibling, keys::siblingHeight));
    }
}

Status TfrmMain::SaveSettings()
{
    ProfileFile file(settingsPath_);
    const QSize preview = frmPreview_ ? frmPreview_->size() : QSize(keys::prevW.defaultValue, keys::prevH.defaultValue);
    const WindowPlacement place = placement_ ? placement_->placement() : WindowPlacement{pos(), size()};
    const std::pair<const keys::IntKey&, int> values[] = {
        {keys::mainW, place.clientSize.width()},
        {keys::mainH, place.clientSize.height()},
        {keys::mainX, place.framePos.x()},
        {keys::mainY, place.framePos.y()},
        {keys::mainMax, place.maximised ? 1 : 0},
        {keys::prevW, preview.width()},
        {keys::prevH, preview.height()},
        {keys::power, udPower->position()},
        {keys::quality, tbarQual->value()},
        {keys::width, udSizeW->position()},
        {keys::height, udSizeH->position()},
        {keys::format, rdgpFormatItems->checkedId()},
        {keys::tail, rdgpTailItems->checkedId()},
        {keys::topBottom, groupCode({spdTop, spdTopBottom, spdBottom, spdTopBottomCut})},
        {keys::leftRight, groupCode({spdLeft, spdLeftRight, spdRight, spdLeftRightCut})},
        {keys::bgColor, settingFromColour(bgColour_)},
    };
    for (const auto& [key, value] : values)
        if (Status s = writeKey(file, key, value); !s)
            return s;

    const std::string siblingPath = siblingSettingsPath(settingsPath_);
    if (!siblingPresent(siblingPath))
        return {};
    ProfileFile sibling(siblingPath);
    for (const auto& [key, value] : {std::pair<const keys::IntKey&, int>{keys::siblingQuality, tbarQual->value()},
                                     {keys::siblingWidth, udSizeW->position()},
                                     {keys::siblingHeight, udSizeH->position()}})
        if (Status s = writeKey(sibling, key, value); !s)
            return s;
    return {};
}

void TfrmMain::setBackgroundColour(const QColor& colour)
{
    bgColour_ = colour;
    QPalette p = pnlBGColor->palette();
    p.setColor(QPalette::Button, colour);
    p.setColor(QPalette::Window, colour);
    p.setColor(QPalette::ButtonText, colour.lightness() < 128 ? Qt::white : Qt::black);
    pnlBGColor->setPalette(p);
}

void TfrmMain::buildPresetMenu()
{
    // Twenty items in two columns of ten: a grid of flat buttons, each showing one item.
    popTpl = new QMenu(this);
    popTpl->setObjectName(QStringLiteral("popTpl"));
    auto* grid = new QWidget(popTpl);
    auto* layout = new QGridLayout(grid);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(0);
    std::vector<QToolButton*> buttons;
    for (int i = 0; i < 20; ++i) {
        popTplItems[i] = new QAction(popTpl);
        popTplItems[i]->setObjectName(QStringLiteral("item%1").arg(i + 1));
        popTplItems[i]->setData(i);
        auto* b = new QToolButton(grid);
        b->setDefaultAction(popTplItems[i]);
        b->setAutoRaise(true);
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        b->setFocusPolicy(Qt::StrongFocus);
        b->setStyleSheet(QStringLiteral("QToolButton { text-align: left; padding: 2px 8px; border: none; }"
                                        "QToolButton:focus, QToolButton:hover { background: palette(highlight);"
                                        " color: palette(highlighted-text); }"));
        layout->addWidget(b, i % 10, i / 10);
        buttons.push_back(b);
        connect(popTplItems[i], &QAction::triggered, this, guarded([this, i] {
                    popTpl->close();
                    itemCutSizeClick(i);
                }));
    }
    auto* holder = new QWidgetAction(popTpl);
    holder->setDefaultWidget(grid);
    popTpl->addAction(holder);
    new PresetGridKeys(buttons, 10, popTpl);
    // The keys reach the focused item, so the menu opens with the first one focused.
    connect(popTpl, &QMenu::aboutToShow, buttons.front(), [first = buttons.front()] { first->setFocus(Qt::PopupFocusReason); });
    connect(btnSizeLoad, &QPushButton::clicked, this, guarded([this] { btnSizeLoadAndSaveClick(btnSizeLoad); }));
    connect(btnSizeSave, &QPushButton::clicked, this, guarded([this] { btnSizeLoadAndSaveClick(btnSizeSave); }));
}

void TfrmMain::btnSizeLoadAndSaveClick(QPushButton* sender)
{
    const ProfileFile file(settingsPath_);
    for (int i = 0; i < 20; ++i)
        popTplItems[i]->setText(QString::fromStdString(presetCaption(readCutSizePreset(file, i))));
    presetButton = sender;
    popTpl->adjustSize();
    // Below the button: right-aligned to "呼出", left-aligned to "記憶".
    QPoint anchor = sender->mapToGlobal(QPoint(0, sender->height()));
    if (sender == btnSizeLoad)
        anchor.rx() += sender->width() - popTpl->sizeHint().width();
    popTpl->popup(anchor);
}

void TfrmMain::itemCutSizeClick(int slot)
{
    ProfileFile file(settingsPath_);
    const CutSizePreset preset = readCutSizePreset(file, slot);
    if (presetButton == btnSizeLoad) {
        edtSizeW->setText(QString::number(preset.width));
        edtSizeH->setText(QString::number(preset.height));
        return;
    }
    const auto name = desktop().inputText(this, popTplItems[slot]->text() + QStringLiteral("を上書きします"),
                                          QStringLiteral("新しい名前を入力してください"),
                                          QString::fromStdString(preset.name));
    if (!name)
        return;
    const Status s = writeCutSizePreset(file, slot, {name->toStdString(), udSizeW->position(), udSizeH->position()});
    if (!s)
        desktop().message(this, MessageKind::Error, QString::fromStdString(s.error().message));
}

}  // namespace trimlet
