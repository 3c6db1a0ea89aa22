#include "forms/about/frm_about_box.h"

#include <QApplication>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "base/version.h"
#include "codecs/library_versions.h"
#include "forms/widgets/app_icon.h"
#include "platform/desktop.h"

namespace trimlet {

QString ReadFileVersion() { return QString::fromLatin1(kVersion); }

namespace {

// Qt falls back to the executable's file name when no name was set; a renamed copy of the
// program should still call itself trimlet.
QString productName()
{
    const QString name = QCoreApplication::applicationName();
    const QString fallback = QFileInfo(QCoreApplication::arguments().value(0)).fileName();
    return name.isEmpty() || name == fallback ? QStringLiteral("trimlet") : name;
}

// Labels here are placed by hand, so each is sized to its text once it has its final font.
QLabel* addLabel(QWidget* parent, const QString& objectName, const QString& text, int left, int top)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(objectName);
    label->move(left, top);
    label->adjustSize();
    return label;
}

void setPixelSize(QLabel* label, int pixels)
{
    QFont font = label->font();
    font.setPixelSize(pixels);
    label->setFont(font);
    label->adjustSize();
}

// Lines of the credits' small print under the panel.
constexpr int kCreditLine = 16;

// "Qt 6.4.2", then the codecs' libraries.
QStringList libraryTexts()
{
    QStringList texts{QStringLiteral("Qt ") + QString::fromLatin1(qVersion())};
    for (const LibraryVersion& library : codecLibraries())
        texts << QString::fromStdString(library.version.empty() ? library.name : library.name + " " + library.version);
    return texts;
}

// The libraries in two columns from top down; gives the bottom of the last line.
int addLibraries(QWidget* parent, int top)
{
    const QStringList texts = libraryTexts();
    const int rows = int(texts.size() + 1) / 2;
    int bottom = top;
    for (int i = 0; i < texts.size(); ++i) {
        QLabel* label = addLabel(parent, QStringLiteral("lblLibrary%1").arg(i), texts[i], 16 + i / rows * 168,
                                 top + i % rows * kCreditLine);
        setPixelSize(label, 11);
        bottom = std::max(bottom, label->geometry().bottom() + 1);
    }
    return bottom;
}

}  // namespace

TfrmAboutBox::TfrmAboutBox(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAboutBox"));
    setWindowTitle(tr("バージョン情報"));
    setModal(true);
    setFixedSize(353, 207);

    auto* Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(8, 8, 337, 161);
    // A sunken box draws a lowered outer and a raised inner line: the etched bevel.
    Panel1->setFrameStyle(QFrame::Box | QFrame::Sunken);

    auto* imgProgramIcon = new QLabel(Panel1);
    imgProgramIcon->setObjectName(QStringLiteral("imgProgramIcon"));
    imgProgramIcon->setGeometry(44, 40, 33, 33);
    imgProgramIcon->setScaledContents(true);
    imgProgramIcon->setPixmap(applicationIcon().pixmap(QSize(33, 33), devicePixelRatioF()));
    imgProgramIcon->setToolTip(tr("画像から決まった大きさを切り抜く trimlet です"));

    addLabel(Panel1, QStringLiteral("lblProductName"), productName(), 104, 32);
    addLabel(Panel1, QStringLiteral("lblVersion"), QStringLiteral("version ") + ReadFileVersion(), 104, 48);
    addLabel(Panel1, QStringLiteral("lblCopyright"), QStringLiteral("Copyright (C) trimlet developers"), 104, 72);
    addLabel(Panel1, QStringLiteral("Label1"), QStringLiteral("URL:"), 40, 104);

    lblUrl = addLabel(Panel1, QStringLiteral("lblUrl"), QStringLiteral("https://trimlet.invalid/"), 72, 104);
    QPalette linkPalette = lblUrl->palette();
    linkPalette.setColor(QPalette::WindowText, Qt::blue);
    lblUrl->setPalette(linkPalette);
    QFont linkFont = lblUrl->font();
    linkFont.setUnderline(true);
    lblUrl->setFont(linkFont);
    lblUrl->adjustSize();
    lblUrl->setCursor(Qt::PointingHandCursor);
    lblUrl->setToolTip(tr("クリックだ!"));
    lblUrl->installEventFilter(this);

    auto* btnExit = new QPushButton(tr("閉じる"), Panel1);
    btnExit->setObjectName(QStringLiteral("btnExit"));
    btnExit->setGeometry(240, 128, 81, 25);
    btnExit->setDefault(true);
    btnExit->setToolTip(tr("trimletを終了します"));
    btnExit->setFocus();
    connect(btnExit, &QPushButton::clicked, this, &QDialog::accept);

    setPixelSize(
        addLabel(this, QStringLiteral("Label3"), tr("PNG 形式の読み書きに libpng と zlib を使っています。"), 8, 176),
        11);
    setPixelSize(addLabel(this, QStringLiteral("Label4"), tr("GIF 形式の読み書きに giflib を使っています。"), 8, 192),
                 11);
    setPixelSize(addLabel(this, QStringLiteral("lblLibraries"), tr("使用ライブラリ:"), 8, 192 + kCreditLine), 11);
    // The window grows to every library the program is made of.
    setFixedSize(353, addLibraries(this, 192 + 2 * kCreditLine) + 8);

    // Moving marks the dialog as placed, so Qt does not re-centre it over its parent.
    if (const QScreen* where = screen())
        move(where->availableGeometry().center() - rect().center());
}

bool TfrmAboutBox::eventFilter(QObject* watched, QEvent* event)
{
    // A click is a left press and release on the link; letting go elsewhere cancels it.
    if (watched == lblUrl && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && lblUrl->rect().contains(mouse->position().toPoint()))
            lblUrlClick();
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmAboutBox::lblUrlClick()
{
    // Without a browser the click would otherwise seem to do nothing.
    if (!desktop().openUrl(QUrl(lblUrl->text())))
        desktop().message(this, MessageKind::Warning, tr("ページ %1 を開けませんでした。").arg(lblUrl->text()));
}

}  // namespace trimlet
