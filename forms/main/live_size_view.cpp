#include "forms/main/live_size_view.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTimer>

#include "document/output_job.h"
#include "forms/widgets/up_down.h"

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

LiveSizeView::LiveSizeView(QObject* parent, const Controls& controls,
                           std::function<std::optional<PieceRequest>()> piece, std::function<OutputChoice()> choice,
                           const FailureReport& failure)
    : QObject(parent), c_(controls), piece_(std::move(piece)), choice_(std::move(choice)),
      worker_(new LiveSizeWorker(this)), timer_(new QTimer(this))
{
    timer_->setObjectName(QStringLiteral("tmrLiveSize"));
    timer_->setSingleShot(true);
    timer_->setInterval(kLiveSizeDelayMs);
    connect(timer_, &QTimer::timeout, this, guardedSlot([this] { start(); }, failure));
    connect(worker_, &LiveSizeWorker::measured, this,
            guardedSlot([this](const LiveSizeResult& result) { show(result); }, failure));
    c_.maxKbEdit->installEventFilter(new LimitEditFilter(c_.maxKbEdit, c_.maxKb));
}

void LiveSizeView::request() { timer_->start(); }

void LiveSizeView::start()
{
    const std::optional<PieceRequest> piece = piece_();
    if (!piece) {
        worker_->cancel();
        c_.figure->clear();
        c_.figure->setToolTip(QString());
        return;
    }
    const OutputChoice choice = choice_();
    worker_->request(
        {*piece, choice.format, choice.quality, limitBytes(choice.maxKb), copiesBlocks(choice, piece->source)});
    // The figure shown stays, greyed, until the new one comes.
    c_.figure->setEnabled(false);
}

void LiveSizeView::show(const LiveSizeResult& result)
{
    QLabel* figure = c_.figure;
    figure->setEnabled(true);
    const OutputChoice choice = choice_();
    const std::optional<PieceRequest> piece = piece_();
    const bool copies = piece && copiesBlocks(choice, piece->source);
    if (!result.ok) {
        figure->setText(QStringLiteral("---"));
        figure->setToolTip(copies ? tr("この枠は無劣化で切り出せません") : tr("この形式では保存できません"));
        setAlarm(figure, true);
        return;
    }
    const std::uint64_t kilobytes = kilobytesOf(result.bytes);
    if (!result.fits) {
        figure->setText(tr("上限超過"));
        figure->setToolTip(
            hasQuality(choice.format) && !copies
                ? tr("画質1でも%1バイト(%2kB)になり、上限の%3kBを超えます")
                      .arg(result.bytes)
                      .arg(kilobytes)
                      .arg(choice.maxKb)
                : tr("%1バイト(%2kB)になり、上限の%3kBを超えます").arg(result.bytes).arg(kilobytes).arg(choice.maxKb));
        setAlarm(figure, true);
        return;
    }
    figure->setText(tr("%1バイト").arg(result.bytes));
    figure->setToolTip(tr("保存されるファイルの大きさ: %1バイト(%2kB)").arg(result.bytes).arg(kilobytes));
    setAlarm(figure, false);
    if (choice.maxKb > 0 && hasQuality(choice.format) && !copies)
        c_.quality->setValue(result.quality);
}

}  // namespace trimlet
