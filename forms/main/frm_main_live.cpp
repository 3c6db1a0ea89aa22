// The main window's live size: the exact byte count of the piece as it would be saved, and
// the size limit that chooses the quality.

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTimer>

#include "forms/main/frm_main.h"
#include "forms/main/live_size.h"
#include "forms/widgets/up_down.h"
#include "imaging/cut_geometry.h"

namespace trimlet {

namespace {

// Short enough to feel immediate, long enough that a drag's burst of moves costs one encode.
constexpr int kLiveSizeDelayMs = 20;

// The limit's edit takes digits only, and shows the limit it stands for when left.
class LimitEditFilter : public QObject {
public:
    LimitEditFilter(QLineEdit* edit, UpDown* ud) : QObject(edit), edit_(edit), ud_(ud) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            return typesText(*key) && !onlyDigits(key->text());
        }
        if (event->type() == QEvent::FocusOut)
            ud_->setPosition(ud_->valueOf(edit_->text()));
        return QObject::eventFilter(watched, event);
    }

private:
    QLineEdit* edit_;
    UpDown* ud_;
};

void setAlarm(QLabel* label, bool alarm)
{
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText,
               alarm ? QColor(255, 0, 0) : label->parentWidget()->palette().color(QPalette::WindowText));
    label->setPalette(p);
}

}  // namespace

void TfrmMain::connectLiveSizeHandlers()
{
    liveSize_ = new LiveSizeWorker(this);
    tmrLiveSize_ = new QTimer(this);
    tmrLiveSize_->setObjectName(QStringLiteral("tmrLiveSize"));
    tmrLiveSize_->setSingleShot(true);
    tmrLiveSize_->setInterval(kLiveSizeDelayMs);
    connect(tmrLiveSize_, &QTimer::timeout, this, guarded(&TfrmMain::startLiveSize));
    connect(liveSize_, &LiveSizeWorker::measured, this, guarded(&TfrmMain::showLiveSize));
    connect(udMaxKb, &UpDown::positionChanged, this, guarded(&TfrmMain::udMaxKbChange));
    edtMaxKb->installEventFilter(new LimitEditFilter(edtMaxKb, udMaxKb));
}

PieceRequest TfrmMain::pieceRequest() const
{
    PieceRequest r;
    r.source = editing_;
    const int pw = editing_.width(), ph = editing_.height();
    if (cutsRegion(pw, ph, udSizeW->position(), udSizeH->position())) {
        r.whole = false;
        r.origin = frame_.cutOrigin(displayRect(), pw, ph);
        r.cutW = frame_.cutSrcWidth;
        r.cutH = frame_.cutSrcHeight;
        r.rate = udPower->position();
    }
    return r;
}

void TfrmMain::requestLiveSize()
{
    if (tmrLiveSize_)
        tmrLiveSize_->start();
}

void TfrmMain::startLiveSize()
{
    if (editing_.isEmpty() || closing_) {
        liveSize_->cancel();
        lblLiveSize->clear();
        lblLiveSize->setToolTip(QString());
        return;
    }
    const OutputOptions options = outputChoices();
    liveSize_->request({pieceRequest(), options.format, options.quality, limitBytes(options.maxKb)});
    // The figure shown stays, greyed, until the new one comes.
    lblLiveSize->setEnabled(false);
}

void TfrmMain::showLiveSize(const LiveSizeResult& result)
{
    lblLiveSize->setEnabled(true);
    const OutputOptions options = outputChoices();
    if (!result.ok) {
        lblLiveSize->setText(QStringLiteral("---"));
        lblLiveSize->setToolTip(tr("この形式では保存できません"));
        setAlarm(lblLiveSize, true);
        return;
    }
    const std::uint64_t kilobytes = (result.bytes + 1023) / 1024;
    if (!result.fits) {
        lblLiveSize->setText(tr("上限超過"));
        lblLiveSize->setToolTip(
            hasQuality(options.format)
                ? tr("画質1でも%1バイト(%2kB)になり、上限の%3kBを超えます")
                      .arg(result.bytes)
                      .arg(kilobytes)
                      .arg(options.maxKb)
                : tr("%1バイト(%2kB)になり、上限の%3kBを超えます").arg(result.bytes).arg(kilobytes).arg(options.maxKb));
        setAlarm(lblLiveSize, true);
        return;
    }
    lblLiveSize->setText(tr("%1バイト").arg(result.bytes));
    lblLiveSize->setToolTip(tr("保存されるファイルの大きさ: %1バイト(%2kB)").arg(result.bytes).arg(kilobytes));
    setAlarm(lblLiveSize, false);
    if (options.maxKb > 0 && hasQuality(options.format))
        tbarQual->setValue(result.quality);
}

void TfrmMain::udMaxKbChange()
{
    showOutputFormat();
    requestLiveSize();
}

}  // namespace trimlet
