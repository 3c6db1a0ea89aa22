// The building of the main window's controls: their names, captions, hints and layouts.

#include "forms/main/console_binding.h"
#include "forms/main/cut_set_choice.h"
#include "forms/main/fit_rate.h"
#include "forms/main/lossless_pieces.h"
#include "forms/main/main_controls.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "forms/main/preset_menu.h"
#include "forms/main/save_folder_choice.h"
#include "forms/main/set_outlines.h"
#include "forms/main/slot_strip.h"
#include "forms/main/work_area_widgets.h"
#include "forms/widgets/app_icon.h"
#include "forms/widgets/up_down.h"

namespace trimlet {

namespace {

// The style's own pressed look differs from the raised one by a shade; the chosen alignment
// must read at a glance, also on a disabled page.
const QString kToggleStyle = QStringLiteral(
    "QToolButton { border: 1px solid palette(mid); border-radius: 2px; background: palette(button); }"
    "QToolButton:hover { background: palette(light); }"
    "QToolButton:checked { border: 1px solid palette(shadow); background: palette(highlight);"
    " color: palette(highlighted-text); font-weight: bold; }"
    "QToolButton:checked:disabled { background: palette(dark); color: palette(light); }");

template <class W>
W* named(W* widget, const char* name, const QString& hint = {})
{
    widget->setObjectName(QLatin1String(name));
    if constexpr (std::is_base_of_v<QWidget, W>) {
        if (!hint.isEmpty())
            widget->setToolTip(hint);
    }
    return widget;
}

// Keeps a widget on its group box's title line, just after the title.
class BesideTitle : public QObject {
public:
    explicit BesideTitle(QWidget* widget) : QObject(widget), widget_(widget) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type t = event->type();
        if (t == QEvent::Resize || t == QEvent::Show || t == QEvent::FontChange || t == QEvent::StyleChange) {
            auto* box = static_cast<QGroupBox*>(watched);
            QStyleOptionGroupBox option;
            option.initFrom(box);
            option.text = box->title();
            option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
            const QRect title =
                box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
            const QSize size = widget_->sizeHint();
            widget_->setGeometry(title.right() + 8, std::max(0, title.center().y() - size.height() / 2), size.width(),
                                 size.height());
        }
        return false;
    }

private:
    QWidget* widget_;
};

QPushButton* button(QWidget* parent, const char* name, const QString& caption, const QString& hint)
{
    return named(new QPushButton(caption, parent), name, hint);
}

QLabel* label(QWidget* parent, const QString& text, const char* name = nullptr)
{
    auto* l = new QLabel(text, parent);
    if (name)
        l->setObjectName(QLatin1String(name));
    return l;
}

// A console group showing "横 <w> ×  縦 <h>" in one line.
QGroupBox* sizeGroup(QWidget* parent, const QString& title, QLabel*& w, QLabel*& h, const char* wName,
                     const char* hName, const QString& between)
{
    auto* group = new QGroupBox(title, parent);
    auto* row = new QHBoxLayout(group);
    row->setContentsMargins(6, 0, 6, 2);
    row->setSpacing(2);
    w = label(group, QStringLiteral("---"), wName);
    h = label(group, QStringLiteral("---"), hName);
    for (QLabel* l : {w, h}) {
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        l->setMinimumWidth(30);
    }
    row->addWidget(label(group, QCoreApplication::translate("MainControls", "横")));
    row->addWidget(w);
    row->addWidget(label(group, between));
    row->addWidget(h);
    return group;
}

}  // namespace

void MainControls::setupUi(QMainWindow* window)
{
    auto* client = new QWidget(window);
    client->setObjectName(QStringLiteral("client"));
    client->setAutoFillBackground(true);
    QPalette pal = client->palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Dark));
    client->setPalette(pal);
    window->setCentralWidget(client);

    buildCommandBand(client);
    buildWorkArea(client);
    buildConsole(client);
    console = std::make_unique<ConsoleBinding>(ConsoleBinding::Controls{udSizeW, udSizeH, udPower, tbarQual, udMaxKb,
                                                                        rdgpFormatItems, rdgpTailItems, chkLossless});
    fit = std::make_unique<FitRate>(FitRate::Controls{chkFit, udPower, edtPower, console.get()});
    lossless = new LosslessPieces({chkLossless, rdgpFormatItems, console.get()});
    QObject::connect(lossless, &LosslessPieces::changed, lossless, [this] { showOutputFormat(); });
    buildMenus(window);

    statusBar = named(new QStatusBar(window), "statusBar");
    statusBar->setSizeGripEnabled(false);
    // A label of our own: QStatusBar's temporary messages are wiped by menu hover tips, and
    // the status line must keep the last report.
    statusLine = new QLabel(statusBar);
    statusLine->setObjectName(QStringLiteral("statusLine"));
    // Reports such as the cut's "--cut …" are meant to be copied.
    statusLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusBar->addWidget(statusLine, 1);
    window->setStatusBar(statusBar);

    tmrCheckResize = named(new QTimer(window), "tmrCheckResize");
    tmrCheckResize->setInterval(200);

    // The progress bar lives inside the status bar and covers its text while shown.
    progressBar = named(new QProgressBar(statusBar), "progressBar");
    progressBar->setRange(0, 100);
    progressBar->setTextVisible(false);
    progressBar->hide();
}

void MainControls::buildCommandBand(QWidget* client)
{
    pnlButton = named(new QWidget(client), "pnlButton");
    pnlButton->setAutoFillBackground(true);
    pnlButton->setPalette(QApplication::palette());

    pcEdit = named(new QTabWidget(pnlButton), "pcEdit");
    pcEdit->setGeometry(4, 4, 497, 92);
    pcEdit->setDocumentMode(true);
    pcEdit->setStyleSheet(QStringLiteral("QTabBar::tab { width: 110px; height: 22px; padding: 0px; }"));
    tabFile = named(new QWidget, "tabFile", tr("画像の読み込み・保存関連のメニュー"));
    tabEdit = named(new QWidget, "tabEdit", tr("画像の編集関連のメニュー"));
    tabConcat = named(new QWidget, "tabConcat",
                      tr("このメニューを表示した状態で画像をドラッグ＆ドロップすると、画像を連結できます"));
    pcEdit->addTab(tabFile, applicationIcon(), tr("ファイル(&F)"));
    pcEdit->addTab(tabEdit, applicationIcon(), tr(" 加　工　(&E)"));
    pcEdit->addTab(tabConcat, applicationIcon(), tr("連結モード(&A)"));
    for (int i = 0; i < 3; ++i)
        pcEdit->setTabToolTip(i, pcEdit->widget(i)->toolTip());

    buildFilePage();
    buildEditPage();
    buildConcatPage();
    tmpSave = std::make_unique<SlotStrip>(pnlButton);
}

void MainControls::buildFilePage()
{
    auto* grid = new QGridLayout(tabFile);
    grid->setContentsMargins(4, 4, 4, 2);
    grid->setSpacing(3);
    btnOpen = button(tabFile, "btnOpen", tr("開く (&O)"),
                     tr("画像ファイルを読み込みます（ドラッグ＆ドロップでも読み込めます）"));
    btnPaste = button(tabFile, "btnPaste", tr("貼り付け(&P)"), tr("クリップボードの画像を貼り付けます"));
    btnReload = button(tabFile, "btnReload", tr("リロード(&Z)"), tr("画像ファイルを読み直します"));
    btnOpenDir = button(tabFile, "btnOpenDir", tr("フォルダ(&U)"),
                        tr("編集中の（または以前に編集したことのある）画像のフォルダを開きます"));
    btnCopy = button(tabFile, "btnCopy", tr("枠内コピー(&C)"), tr("画像の枠内をクリップボードにコピーします"));
    btnAllCopy = button(tabFile, "btnAllCopy", tr("このままコピー"), tr("画像全体をクリップボードにコピーします"));
    btnSave = button(tabFile, "btnSave", tr("枠内保存(&X)"), tr("画像の枠内を切り出して保存します"));
    btnQuickSave = button(tabFile, "btnQuickSave", tr("このまま保存"), tr("画像全体を保存します"));
    btnPreview = button(tabFile, "btnPreview", tr(" プレビュー(&D)"),
                        tr("プレビュー画面を開き、枠内の切り出しやコピーを行います"));
    btnPreview->setDefault(true);
    btnPreview->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);

    grid->addWidget(btnOpen, 0, 0);
    grid->addWidget(btnPaste, 0, 1);
    grid->addWidget(btnCopy, 0, 2);
    grid->addWidget(btnSave, 0, 3);
    grid->addWidget(btnReload, 1, 0);
    grid->addWidget(btnOpenDir, 1, 1);
    grid->addWidget(btnAllCopy, 1, 2);
    grid->addWidget(btnQuickSave, 1, 3);
    grid->addWidget(btnPreview, 0, 4, 2, 1);
}

void MainControls::buildEditPage()
{
    auto* grid = new QGridLayout(tabEdit);
    grid->setContentsMargins(4, 4, 4, 2);
    grid->setSpacing(3);
    btnRotL = button(tabEdit, "btnRotL", tr("左回転(&L)"), tr("画像を左に90°回転します"));
    btnRotR = button(tabEdit, "btnRotR", tr("右回転(&R)"), tr("画像を右に90°回転します"));
    btnRot180 = button(tabEdit, "btnRot180", tr("180゜回転(&T)"), tr("画像を180゜回転します"));
    btnRevH = button(tabEdit, "btnRevH", tr("上下反転(&V)"), tr("画像を上下反転します"));
    btnRevW = button(tabEdit, "btnRevW", tr("左右反転(&H)"), tr("画像を左右反転します"));
    btnRotFree = button(tabEdit, "btnRotFree", tr("自由回転(&Y)"), tr("指定した角度に画像を回転します"));
    btnCutAndLoad = button(tabEdit, "btnCutAndLoad", tr("切り出し(&K)"), tr("枠内を切り出し、編集を続けます"));
    btnBGColor = button(tabEdit, "btnBGColor", tr("色変更(&B)"), tr("背景色を指定します"));
    pnlBGColor = button(tabEdit, "pnlBGColor", tr("背景色"), tr("自由回転や連結で発生する余白の色です"));
    pnlBGColor->setFlat(true);
    pnlBGColor->setAutoFillBackground(true);
    QPalette pal = pnlBGColor->palette();
    pal.setColor(QPalette::Button, Qt::white);
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::ButtonText, Qt::black);
    pnlBGColor->setPalette(pal);

    grid->addWidget(btnRotL, 0, 0);
    grid->addWidget(btnRotR, 0, 1);
    grid->addWidget(btnRot180, 0, 2);
    grid->addWidget(btnRotFree, 0, 3);
    grid->addWidget(btnRevH, 1, 0);
    grid->addWidget(btnRevW, 1, 1);
    grid->addWidget(btnCutAndLoad, 1, 2);
    grid->addWidget(btnBGColor, 1, 3);
    grid->addWidget(pnlBGColor, 0, 4, 2, 1);
    pnlBGColor->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
}

void MainControls::buildConcatPage()
{
    auto* row = new QHBoxLayout(tabConcat);
    row->setContentsMargins(4, 3, 4, 2);
    row->setSpacing(4);

    struct ToggleButton {
        QToolButton** field;
        const char* name;
        const char* caption;
        const char* hint;
    };
    auto makeGroup = [&](const QString& title, std::initializer_list<ToggleButton> toggles) {
        auto* box = new QGroupBox(title, tabConcat);
        box->setStyleSheet(kToggleStyle);  // once for its buttons, which are all it holds
        auto* grid = new QGridLayout(box);
        grid->setContentsMargins(3, 1, 3, 2);
        grid->setSpacing(1);
        int i = 0;
        for (const ToggleButton& s : toggles) {
            auto* b = named(new QToolButton(box), s.name, tr(s.hint));
            b->setText(tr(s.caption));
            b->setCheckable(true);
            b->setAutoRaise(false);
            b->setFixedSize(44, 20);
            *s.field = b;
            grid->addWidget(b, i / 2, i % 2);
            ++i;
        }
        row->addWidget(box);
    };
    makeGroup(tr("横に連結"),
              {{&spdTop, "spdTop", QT_TRANSLATE_NOOP("MainControls", "上寄せ"),
                QT_TRANSLATE_NOOP("MainControls", "画像を横に連結する際に、小さい画像を上寄せします")},
               {&spdTopBottom, "spdTopBottom", QT_TRANSLATE_NOOP("MainControls", "中央"),
                QT_TRANSLATE_NOOP("MainControls", "画像を横に連結する際に、小さい画像を中央揃えします")},
               {&spdBottom, "spdBottom", QT_TRANSLATE_NOOP("MainControls", "下寄せ"),
                QT_TRANSLATE_NOOP("MainControls", "画像を横に連結する際に、小さい画像を下寄せします")},
               {&spdTopBottomCut, "spdTopBottomCut", QT_TRANSLATE_NOOP("MainControls", "中抜き"),
                QT_TRANSLATE_NOOP("MainControls",
                                  "画像を横に連結する際に、小さい画像に合わせて大きい画像を切り落とします")}});
    makeGroup(tr("縦に連結"),
              {{&spdLeft, "spdLeft", QT_TRANSLATE_NOOP("MainControls", "左寄せ"),
                QT_TRANSLATE_NOOP("MainControls", "画像を縦に連結する際に、小さい画像を左寄せします")},
               {&spdLeftRight, "spdLeftRight", QT_TRANSLATE_NOOP("MainControls", "中央"),
                QT_TRANSLATE_NOOP("MainControls", "画像を縦に連結する際に、小さい画像を中央揃えします")},
               {&spdRight, "spdRight", QT_TRANSLATE_NOOP("MainControls", "右寄せ"),
                QT_TRANSLATE_NOOP("MainControls", "画像を縦に連結する際に、小さい画像を右寄せします")},
               {&spdLeftRightCut, "spdLeftRightCut", QT_TRANSLATE_NOOP("MainControls", "中抜き"),
                QT_TRANSLATE_NOOP("MainControls",
                                  "画像を縦に連結する際に、小さい画像に合わせて大きい画像を切り落とします")}});
    spdTopBottomCut->setChecked(true);
    spdLeftRightCut->setChecked(true);

    // In each group at most one button is down, and a click on the one that is down raises it.
    auto exclusive = [](const std::vector<QToolButton*>& group) {
        for (QToolButton* b : group)
            QObject::connect(b, &QToolButton::toggled, b, [b, group](bool down) {
                if (!down)
                    return;
                for (QToolButton* other : group)
                    if (other != b)
                        other->setChecked(false);
            });
    };
    exclusive({spdTop, spdTopBottom, spdBottom, spdTopBottomCut});
    exclusive({spdLeft, spdLeftRight, spdRight, spdLeftRightCut});

    lblConcat = label(tabConcat, QString(), "lblConcat");
    lblConcat->setWordWrap(true);
    QFont small = lblConcat->font();
    small.setPixelSize(10);
    lblConcat->setFont(small);
    row->addWidget(lblConcat, 1);
}

void MainControls::buildWorkArea(QWidget* client)
{
    imgSource = named(new PictureView(client), "imgSource");
    shpRange = named(new FrameShape(client), "shpRange");
    setOutlines = new SetOutlines(imgSource);  // shown and hidden with the picture, under the frame
    imgRotPreview = named(new PictureView(client), "imgRotPreview");
    shpRotPreview = named(new FrameShape(client), "shpRotPreview");
    shpRotPreview->setAttribute(Qt::WA_TransparentForMouseEvents);
    imgRotPreview->hide();
    shpRotPreview->hide();

    lblNotice = label(client, tr("ここに画像をドロップしてください"), "lblNotice");
    QFont big = lblNotice->font();
    big.setPixelSize(27);
    lblNotice->setFont(big);
    lblNotice->setAlignment(Qt::AlignCenter);
    QPalette noticePal = lblNotice->palette();
    noticePal.setColor(QPalette::WindowText, noticePal.color(QPalette::Base));
    lblNotice->setPalette(noticePal);
    lblNotice->setAttribute(Qt::WA_TransparentForMouseEvents);

    // The file name is drawn twice: a black shadow one pixel right and down of the front text.
    lblFileNameB = label(client, tr("(ファイル名)"), "lblFileNameB");
    lblFileNameF = label(client, tr("(ファイル名)"), "lblFileNameF");
    for (QLabel* l : {lblFileNameB, lblFileNameF}) {
        QFont f = l->font();
        f.setPixelSize(13);
        f.setBold(true);
        l->setFont(f);
        l->setAttribute(Qt::WA_TransparentForMouseEvents);
        QPalette p = l->palette();
        p.setColor(QPalette::WindowText, l == lblFileNameB ? QColor(Qt::black) : p.color(QPalette::Base));
        l->setPalette(p);
    }
}

void MainControls::buildConsole(QWidget* client)
{
    pnlConsole = named(new QWidget(client), "pnlConsole");
    pnlConsole->setAutoFillBackground(true);
    pnlConsole->setPalette(QApplication::palette());
    auto* rows = new QVBoxLayout(pnlConsole);
    rows->setContentsMargins(4, 2, 4, 3);
    rows->setSpacing(2);
    auto* top = new QHBoxLayout;
    auto* bottom = new QHBoxLayout;
    top->setSpacing(3);
    bottom->setSpacing(3);
    rows->addLayout(top);
    rows->addLayout(bottom);

    // Top row reads as a formula: cut source size × rate = size after reduction.
    top->addWidget(sizeGroup(pnlConsole, tr("切り出し元サイズ"), lblCutSizeW, lblCutSizeH, "lblCutSizeW", "lblCutSizeH",
                             tr(" ×  縦")));
    top->addWidget(label(pnlConsole, QStringLiteral("× ")));
    auto* powerGroup = new QGroupBox(tr("縮小率(%)"), pnlConsole);
    auto* powerRow = new QHBoxLayout(powerGroup);
    powerRow->setContentsMargins(6, 0, 6, 2);
    powerRow->setSpacing(0);
    edtPower = named(new QLineEdit(powerGroup), "edtPower", tr("縮小率を指定します"));
    edtPower->setMaxLength(3);
    edtPower->setFixedWidth(36);
    edtPower->setAttribute(Qt::WA_InputMethodEnabled, false);
    udPower = named(new UpDown(edtPower, 5, 100, 100, powerGroup), "udPower", tr("縮小率を指定します"));
    // 自動 gives every picture the rate at which its piece has the full cut size.
    chkFit = named(new QCheckBox(tr("自動"), powerGroup), "chkFit",
                   tr("画像ごとに、切り出しサイズ全体が画像に収まる最も小さい縮小率にします"));
    powerRow->addWidget(edtPower);
    powerRow->addWidget(udPower);
    powerRow->addSpacing(4);
    powerRow->addWidget(chkFit);
    top->addWidget(powerGroup);
    top->addWidget(label(pnlConsole, tr("＝")));
    top->addWidget(sizeGroup(pnlConsole, tr("縮小後サイズ"), lblSizeW, lblSizeH, "lblSizeW", "lblSizeH", tr(" × 縦")));
    top->addWidget(sizeGroup(pnlConsole, tr("元画像のサイズ"), lblSrcSizeW, lblSrcSizeH, "lblSrcSizeW", "lblSrcSizeH",
                             tr(" ×  縦")));

    auto* qualGroup = new QGroupBox(tr("JPEG保存時の画質(100=最高)"), pnlConsole);
    auto* qualRow = new QHBoxLayout(qualGroup);
    qualRow->setContentsMargins(4, 0, 4, 0);
    lblQual = label(qualGroup, QStringLiteral("0"), "lblQual");
    lblQual->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblQual->setFixedWidth(24);
    tbarQual = named(new QSlider(Qt::Horizontal, qualGroup), "tbarQual", tr("JPEG保存する際の画質を指定します"));
    tbarQual->setRange(1, 100);
    tbarQual->setPageStep(10);
    tbarQual->setTickInterval(10);
    tbarQual->setTickPosition(QSlider::TicksBelow);
    tbarQual->setValue(100);
    // The piece's exact file size, beside the quality that makes it.
    lblLiveSize = label(qualGroup, QString(), "lblLiveSize");
    lblLiveSize->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Wide enough for the largest piece (a 4096 × 4096 BMP), so that figures never move the layout.
    lblLiveSize->setFixedWidth(lblLiveSize->fontMetrics().horizontalAdvance(tr("%1バイト").arg(99999999)) + 2);
    qualRow->addWidget(lblQual);
    qualRow->addWidget(tbarQual, 1);
    qualRow->addWidget(lblLiveSize);
    top->addWidget(qualGroup, 1);

    // Bottom row: the cut size, the output options and the program buttons.
    auto* cutGroup = new QGroupBox(tr("切り出しサイズ"), pnlConsole);
    auto* cutRow = new QHBoxLayout(cutGroup);
    cutRow->setContentsMargins(6, 0, 6, 2);
    cutRow->setSpacing(2);
    auto sizeEdit = [&](QLineEdit*& edit, UpDown*& ud, const char* edtName, const char* udName, int minimum,
                        int initial, const QString& hint, const QString& caption) {
        edit = named(new QLineEdit(cutGroup), edtName, hint);
        edit->setMaxLength(4);
        edit->setFixedWidth(42);
        ud = named(new UpDown(edit, minimum, 4096, initial, cutGroup), udName, hint);
        cutRow->addWidget(label(cutGroup, caption));
        cutRow->addWidget(edit);
        cutRow->addWidget(ud);
        cutRow->addSpacing(4);
    };
    sizeEdit(edtSizeW, udSizeW, "edtSizeW", "udSizeW", 24, 240, tr("切り出しサイズの横幅を指定します"), tr("横"));
    sizeEdit(edtSizeH, udSizeH, "edtSizeH", "udSizeH", 32, 320, tr("切り出しサイズの縦幅を指定します"), tr("縦"));
    btnSwap = button(cutGroup, "btnSwap", QStringLiteral("⇄"), tr("切り出しサイズの縦と横を入れ替えます"));
    btnSizeLoad = button(cutGroup, "btnSizeLoad", tr("呼出"), tr("切り出しサイズの設定を呼び出します"));
    btnSizeSave = button(cutGroup, "btnSizeSave", tr("記憶"), tr("現在の切り出しサイズの設定を記憶します"));
    btnSwap->setFixedWidth(26);
    btnSizeLoad->setFixedWidth(40);
    btnSizeSave->setFixedWidth(40);
    cutRow->addWidget(btnSwap);
    cutRow->addWidget(btnSizeLoad);
    cutRow->addWidget(btnSizeSave);
    cutSets = new CutSetChoice(cutGroup);
    cutGroup->installEventFilter(new BesideTitle(cutSets->button()));
    cmbSize = named(new QComboBox(cutGroup), "cmbSize", tr("切り出すサイズを選択します"));
    cmbSize->addItem(tr("直接指定"));
    cmbSize->hide();
    bottom->addWidget(cutGroup);

    auto radioGroup = [&](QGroupBox*& box, QButtonGroup*& items, const char* name, const QString& title,
                          const QString& hint, const QStringList& texts, int columns) {
        box = named(new QGroupBox(title, pnlConsole), name, hint);
        auto* grid = new QGridLayout(box);
        grid->setContentsMargins(6, 0, 6, 2);
        grid->setHorizontalSpacing(6);
        grid->setVerticalSpacing(0);
        items = new QButtonGroup(box);
        items->setObjectName(QLatin1String(name) + QStringLiteral("Items"));
        for (int i = 0; i < texts.size(); ++i) {
            auto* r = new QRadioButton(texts[i], box);
            r->setToolTip(hint);
            items->addButton(r, i);
            grid->addWidget(r, i / columns, i % columns);
        }
        items->button(0)->setChecked(true);
        bottom->addWidget(box);
    };
    // Formats in two columns and tails in one, so that the row fits a window of the minimum
    // width with the longest tail texts (".webp").
    radioGroup(rdgpFormat, rdgpFormatItems, "rdgpFormat", tr("保存形式"), tr("保存形式を指定します"),
               {QStringLiteral("JPEG"), QStringLiteral("BMP"), QStringLiteral("PNG"), QStringLiteral("WebP"),
                QStringLiteral("JXL")},
               2);
    // On the title's line: a column of its own would widen the console past the narrowest window.
    chkLossless = named(new QCheckBox(tr("無劣化"), rdgpFormat), "chkLossless",
                        tr("JPEGの画像を、再圧縮せずにブロックのまま切り出します（縮小率100のとき）"));
    rdgpFormat->installEventFilter(new BesideTitle(chkLossless));
    radioGroup(rdgpTail, rdgpTailItems, "rdgpTail", tr("ファイル名末尾"),
               tr("ファイル名の末尾につける連番の形式を指定します"),
               {QStringLiteral("filename(1).jpg"), QStringLiteral("filename-1.jpg")}, 1);
    // The size limit, in the row of the other choices about the saved file.
    auto* limitGroup = named(new QGroupBox(tr("上限(kB)"), pnlConsole), "gbxMaxKb",
                             tr("保存するファイルの大きさの上限です。0で上限なし"));
    auto* limitRow = new QHBoxLayout(limitGroup);
    limitRow->setContentsMargins(6, 0, 6, 2);
    limitRow->setSpacing(0);
    edtMaxKb = named(new QLineEdit(limitGroup), "edtMaxKb", tr("保存するファイルの大きさの上限です。0で上限なし"));
    edtMaxKb->setMaxLength(5);
    edtMaxKb->setFixedWidth(40);
    edtMaxKb->setAttribute(Qt::WA_InputMethodEnabled, false);
    udMaxKb = named(new UpDown(edtMaxKb, 0, 32767, 0, limitGroup), "udMaxKb",
                    tr("保存するファイルの大きさの上限です。0で上限なし"));
    limitRow->addWidget(edtMaxKb);
    limitRow->addWidget(udMaxKb);
    bottom->addWidget(limitGroup);

    btnAbout = button(pnlConsole, "btnAbout", QString(), tr("trimletについての情報を表示します"));
    btnAbout->setIcon(applicationIcon());
    btnAbout->setFixedSize(30, 30);
    btnExit = button(pnlConsole, "btnExit", tr("終 了 (&Q)"), tr("trimletを終了します"));
    btnExit->setFixedHeight(30);
    // The save folder over the program buttons, in the height their row leaves free, and as
    // wide as the room the row has left.
    saveFolder = new SaveFolderChoice(pnlConsole);
    auto* corner = new QGridLayout;
    corner->setSpacing(2);
    auto* folderRow = new QHBoxLayout;
    folderRow->addStretch();
    folderRow->addWidget(saveFolder->combo(), 1);
    corner->setColumnStretch(0, 1);
    corner->addLayout(folderRow, 0, 0, 1, 3, Qt::AlignTop);
    corner->addWidget(btnAbout, 1, 1, Qt::AlignBottom);
    corner->addWidget(btnExit, 1, 2, Qt::AlignBottom);
    bottom->addLayout(corner, 1);
}

void MainControls::buildMenus(QMainWindow* window)
{
    popEdit = named(new QMenu(window), "popEdit");
    auto item = [](QMenu* menu, QAction*& field, const char* name, const QString& caption) {
        field = menu->addAction(caption);
        field->setObjectName(QLatin1String(name));
    };
    item(popEdit, popitemRevH, "popitemRevH", tr("上下反転"));
    item(popEdit, popitemRevW, "popitemRevW", tr("左右反転"));
    item(popEdit, popitemRotR, "popitemRotR", tr("右回転"));
    item(popEdit, popitemRotL, "popitemRotL", tr("左回転"));
    item(popEdit, popitemRot180, "popitemRot180", tr("180°回転"));
    item(popEdit, popitemRotFree, "popitemRotFree", tr("自由回転"));
    popEdit->addSeparator();
    item(popEdit, popitemPaste, "popitemPaste", tr("貼り付け"));
    item(popEdit, popitemReload, "popitemReload", tr("リロード"));
    popEdit->addSeparator();
    item(popEdit, popitemQuickSave, "popitemQuickSave", tr("このまま保存"));
    item(popEdit, popitemPreview, "popitemPreview", tr("プレビュー"));
    item(popEdit, popitemSave, "popitemSave", tr("枠内保存"));

    popTpl = trimlet::buildPresetMenu(window, popTplItems, popTplScreen);
}

}  // namespace trimlet
