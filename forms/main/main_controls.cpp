// What the window asks of its controls as a whole: layout, enabling, settings and choices.

#include "forms/main/main_controls.h"
#include "forms/main/console_binding.h"
#include "forms/main/cut_set_choice.h"
#include "forms/main/fit_rate.h"
#include "forms/main/lossless_pieces.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

#include "forms/main/save_folder_choice.h"
#include "forms/main/slot_strip.h"
#include "forms/main/work_area_widgets.h"
#include "forms/widgets/up_down.h"
#include "imaging/reduce.h"
#include "imaging/rotation_preview.h"

namespace trimlet {

namespace {

// The join group's stored code: 1..4 for the buttons in order, 2 also for none down.
int groupCode(std::initializer_list<const QToolButton*> buttons)
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

}  // namespace

IntRect workArea(const QSize& client)
{
    constexpr int kButtonBandHeight = 100;
    constexpr int kConsoleHeight = 117;
    return {0, kButtonBandHeight, client.width(), client.height() - kButtonBandHeight - kConsoleHeight};
}

MainControls::MainControls() = default;
struct MainControls::ShownBefore {
    QImage image;
    QRect geometry;
    bool picture = false, frame = false, notice = false;
};

MainControls::~MainControls() = default;

void MainControls::showFirstLook(const QImage& look, const IntRect& at)
{
    if (!beforeLook_)
        beforeLook_.reset(new ShownBefore{imgSource->image(), imgSource->geometry(), imgSource->isVisible(),
                                          shpRange->isVisible(), lblNotice->isVisible()});
    imgSource->setGeometry(at.x, at.y, at.w, at.h);
    imgSource->setImage(look);
    imgSource->show();
    shpRange->hide();
    lblNotice->hide();
}

void MainControls::dropFirstLook() { beforeLook_.reset(); }

void MainControls::undoFirstLook()
{
    if (!beforeLook_)
        return;
    imgSource->setGeometry(beforeLook_->geometry);
    imgSource->setImage(beforeLook_->image);
    imgSource->setVisible(beforeLook_->picture);
    shpRange->setVisible(beforeLook_->frame);
    lblNotice->setVisible(beforeLook_->notice);
    beforeLook_.reset();
}

void MainControls::layoutRegions(const QSize& client)
{
    const int w = client.width();
    const IntRect area = workArea(client);
    pnlButton->setGeometry(0, 0, w, area.y);
    tmpSave->group()->move(std::max(pcEdit->geometry().right() + 8, w - tmpSave->group()->width() - 4), 4);
    pnlConsole->setGeometry(0, area.y + area.h, w, client.height() - area.y - area.h);

    lblNotice->setGeometry(area.x, area.y, area.w, area.h);
    const int nameHeight = lblFileNameF->sizeHint().height();
    const int nameTop = area.y + area.h - nameHeight - 4;
    lblFileNameF->setGeometry(6, nameTop, w - 12, nameHeight);
    lblFileNameB->setGeometry(7, nameTop + 1, w - 12, nameHeight);
    progressBar->setGeometry(statusBar->rect());
}

void MainControls::setPictureControlsEnabled(bool enabled)
{
    for (QWidget* w : std::initializer_list<QWidget*>{
             btnRevH,       btnRevW,         btnRotR,    btnRotL,         btnRot180,  btnRotFree,
             btnCutAndLoad, btnCopy,         btnAllCopy, btnQuickSave,    btnPreview, btnSave,
             spdTop,        spdTopBottom,    spdBottom,  spdTopBottomCut, spdLeft,    spdLeftRight,
             spdRight,      spdLeftRightCut, btnBGColor, pnlBGColor})
        w->setEnabled(enabled);
    tmpSave->setEditingEnabled(enabled);
    imgSource->setVisible(enabled);
    shpRange->setVisible(enabled);
    lblNotice->setVisible(!enabled);
}

void MainControls::showSizeLabel(QLabel* label, int value, const QLineEdit* edit)
{
    label->setText(QString::number(value));
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText,
               label->text() == edit->text() ? QApplication::palette().color(QPalette::WindowText) : QColor(255, 0, 0));
    label->setPalette(p);
}

void MainControls::popupEditMenu(QWidget* source, const QPoint& local)
{
    const std::pair<QAction*, QWidget*> follows[] = {{popitemRevH, btnRevH},       {popitemRevW, btnRevW},
                                                     {popitemRotR, btnRotR},       {popitemRotL, btnRotL},
                                                     {popitemRot180, btnRot180},   {popitemPaste, btnPaste},
                                                     {popitemReload, btnReload},   {popitemQuickSave, btnQuickSave},
                                                     {popitemPreview, btnPreview}, {popitemSave, btnSave}};
    for (const auto& [item, button] : follows)
        item->setEnabled(button->isEnabled());
    popEdit->popup(source->mapToGlobal(local));
}

void MainControls::applySpin(UpDown* ud, QLineEdit* edit, int value)
{
    ud->setPosition(std::int16_t(value));  // the control keeps the low 16 bits, signed
    edit->setText(QString::number(ud->position()));
}

void MainControls::selectRadio(QButtonGroup* group, int index)
{
    index = std::clamp(index, -1, int(group->buttons().size()) - 1);
    group->setExclusive(false);
    for (QAbstractButton* b : group->buttons())
        b->setChecked(group->id(b) == index);
    group->setExclusive(true);
}

StoredSettings MainControls::consoleSettings() const
{
    StoredSettings s;
    const CutSettings& cut = console->cut();
    const OutputChoice& output = console->output();
    s.power = cut.rate;
    s.quality = output.quality;
    s.maxKb = output.maxKb;
    s.width = cut.width;
    s.height = cut.height;
    s.fit = fit->isOn() ? 1 : 0;
    s.format = console->formatItem();
    s.lossless = chkLossless->isChecked() ? 1 : 0;
    s.tail = console->tailItem();
    s.folder = saveFolder->folder();
    s.topBottom = topBottomCode();
    s.leftRight = leftRightCode();
    return s;
}

void MainControls::applyConsoleSettings(const StoredSettings& s)
{
    const auto showQuality = [this](int quality) {
        tbarQual->setValue(std::clamp(quality, 1, 100));
        lblQual->setText(QString::number(console->output().quality));
    };
    applySpin(udPower, edtPower, s.power);
    showQuality(s.quality);
    udMaxKb->setPosition(std::max(s.maxKb, 0));
    applySpin(udSizeW, edtSizeW, s.width);
    applySpin(udSizeH, edtSizeH, s.height);
    fit->setOn(s.fit != 0);
    selectRadio(rdgpFormatItems, s.format);
    chkLossless->setChecked(s.lossless != 0);
    showOutputFormat();
    selectRadio(rdgpTailItems, s.tail);
    saveFolder->setFolder(s.folder);
    pressTopBottom(s.topBottom);
    pressLeftRight(s.leftRight);
    if (s.sibling) {
        showQuality(s.sibling->quality);
        applySpin(udSizeW, edtSizeW, s.sibling->width);
        applySpin(udSizeH, edtSizeH, s.sibling->height);
    }
}

void MainControls::showOutputFormat()
{
    const OutputFormat format = console->output().format;
    const QString ext = QString::fromLatin1(outputExtension(format));
    rdgpTailItems->button(0)->setText(QStringLiteral("filename(1)") + ext);
    rdgpTailItems->button(1)->setText(QStringLiteral("filename-1") + ext);
    // Under a size limit the quality is the limit's choice, which the slider only shows.
    // A copy of the blocks has no quality, and its size only the frame decides.
    const bool copies = lossless && lossless->isOn();
    tbarQual->setEnabled(hasQuality(format) && console->output().maxKb == 0 && !copies);
    edtMaxKb->setEnabled(!copies);
    udMaxKb->setEnabled(!copies);
}

Bitmap MainControls::showRotationPreview(const Bitmap& picture, const QSize& client)
{
    const IntRect area = workArea(client);
    shpRotPreview->setGeometry(area.x, area.y, area.w, area.h);
    // The preview base: the picture reduced to fit the work area's screen pixels, never below
    // 1 × 1; the view enlarges a smaller one.
    const auto [w, h] = rotationPreviewSize(picture.width(), picture.height(), area.w, area.h);
    const QSize device = deviceSize(QSize(w, h), imgRotPreview->devicePixelRatioF());
    Bitmap base = rotationPreviewBase(picture, device.width(), device.height());
    imgRotPreview->setGeometry(area.x + (area.w - w) / 2, area.y + (area.h - h) / 2, w, h);
    imgRotPreview->setImage(QImage());
    imgRotPreview->show();
    imgRotPreview->raise();
    lblFileNameB->raise();
    lblFileNameF->raise();
    return base;
}

void MainControls::setRotationPreviewShown(bool visible)
{
    // The preview itself was put in place when the rotation window was opened.
    imgSource->setVisible(!visible);
    shpRange->setVisible(!visible);
    if (!visible) {
        imgRotPreview->hide();
        shpRotPreview->hide();
    }
}

void MainControls::showRotationGuides(Qt::BrushStyle hatch)
{
    shpRotPreview->setHatch(hatch);
    shpRotPreview->setVisible(hatch != Qt::NoBrush);
    shpRotPreview->raise();
}

OutputOptions MainControls::outputChoices() const
{
    const OutputChoice& c = console->output();
    OutputOptions options;
    options.quality = c.quality;
    options.maxKb = c.maxKb;
    options.format = c.format;
    options.tail = c.tail;
    options.lossless = lossless->isOn();
    options.saveFolder = saveFolder->folder();
    return options;
}

std::unique_ptr<QTimer, void (*)(QTimer*)> MainControls::suspendResizeCheck()
{
    tmrCheckResize->stop();
    return {tmrCheckResize, [](QTimer* timer) { timer->start(); }};
}

const CutSettings& MainControls::cutSettings() const { return console->cut(); }
const OutputChoice& MainControls::outputChoice() const { return console->output(); }

CutSettings MainControls::framingCut(int pw, int ph) const
{
    return cutSets->framingCut(pw, ph, cutSettings(), fit->isOn());
}

void MainControls::showFileName(const QString& name)
{
    lblFileNameF->setText(name);
    lblFileNameB->setText(name);
}

void MainControls::applyMinimumRate(int minimum)
{
    udPower->setMinimum(minimum);
    bool ok = false;
    int typed = edtPower->text().toInt(&ok);
    if (!ok)
        typed = minimum;
    if (typed < minimum)
        edtPower->setText(QString::number(minimum));
}

void MainControls::showBackgroundColour(const QColor& colour)
{
    QPalette p = pnlBGColor->palette();
    p.setColor(QPalette::Button, colour);
    p.setColor(QPalette::Window, colour);
    p.setColor(QPalette::ButtonText, colour.lightness() < 128 ? Qt::white : Qt::black);
    pnlBGColor->setPalette(p);
}

void MainControls::swapCutSize()
{
    const int width = console->cut().width;
    edtSizeW->setText(edtSizeH->text());
    edtSizeH->setText(QString::number(width));
}

void MainControls::setCutSize(int width, int height)
{
    edtSizeW->setText(QString::number(width));
    edtSizeH->setText(QString::number(height));
}

int MainControls::topBottomCode() const { return groupCode({spdTop, spdTopBottom, spdBottom, spdTopBottomCut}); }
int MainControls::leftRightCode() const { return groupCode({spdLeft, spdLeftRight, spdRight, spdLeftRightCut}); }
void MainControls::pressTopBottom(int code)
{
    pressGroupCode({spdTop, spdTopBottom, spdBottom, spdTopBottomCut}, code);
}
void MainControls::pressLeftRight(int code)
{
    pressGroupCode({spdLeft, spdLeftRight, spdRight, spdLeftRightCut}, code);
}

AlignH MainControls::joinAlignH() const
{
    return spdTop->isChecked()            ? AlignH::Top
           : spdTopBottom->isChecked()    ? AlignH::Centre
           : spdBottom->isChecked()       ? AlignH::Bottom
           : spdTopBottomCut->isChecked() ? AlignH::Trim
                                          : AlignH::None;
}

AlignV MainControls::joinAlignV() const
{
    return spdLeft->isChecked()           ? AlignV::Left
           : spdLeftRight->isChecked()    ? AlignV::Centre
           : spdRight->isChecked()        ? AlignV::Right
           : spdLeftRightCut->isChecked() ? AlignV::Trim
                                          : AlignV::None;
}

}  // namespace trimlet
