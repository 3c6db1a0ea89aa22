#include "forms/main/fit_rate.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>

#include "forms/main/console_binding.h"
#include "forms/widgets/up_down.h"
#include "imaging/cut_geometry.h"

namespace trimlet {

namespace {

// The cut in trimlet-cli's terms, so that a user can repeat it exactly: the cut size, the
// rate and the region's top-left in picture pixels.
QString cutCommand(int W, int H, int R, const IntPoint& origin)
{
    return QStringLiteral("--cut %1x%2@%3:%4,%5").arg(W).arg(H).arg(R).arg(origin.x).arg(origin.y);
}

}  // namespace

FitRate::FitRate(const Controls& c) : c_(c)
{
    connect(c.fit, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            apply();
    });
    // Only the user's own changes: the loads, steps and undos set the rate as well.
    const auto byHand = [this] { c_.fit->setChecked(false); };
    connect(c.rate, &UpDown::stepped, this, byHand);
    connect(c.rateEdit, &QLineEdit::textEdited, this, byHand);
}

bool FitRate::isOn() const { return c_.fit->isChecked(); }

void FitRate::setOn(bool on) { c_.fit->setChecked(on); }

void FitRate::follow(int pw, int ph)
{
    pw_ = pw;
    ph_ = ph;
    if (isOn())
        apply();
}

void FitRate::apply()
{
    if (pw_ < 1 || ph_ < 1)
        return;  // no picture yet
    const CutSettings& cut = c_.console->cut();
    // The rate field's change resizes the frame around its centre, as a typed rate does.
    c_.rate->setPosition(fitRate(pw_, ph_, cut.width, cut.height));
}

QString cutReport(const PieceRequest& piece, const CutSettings& cut, const Picture& made)
{
    const QString command = piece.whole ? QString() : cutCommand(cut.width, cut.height, piece.rate, piece.origin);
    if (made.isEmpty() || (made.width() >= cut.width && made.height() >= cut.height))
        return command;
    const QString w = QString::number(made.width()), h = QString::number(made.height());
    if (command.isEmpty())
        return QCoreApplication::translate("trimlet::TfrmMain", "実サイズ %1 × %2").arg(w, h);
    return QCoreApplication::translate("trimlet::TfrmMain", "%1、実サイズ %2 × %3").arg(command, w, h);
}

}  // namespace trimlet
