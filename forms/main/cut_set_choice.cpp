#include "forms/main/cut_set_choice.h"

#include <QActionGroup>
#include <QFontMetrics>
#include <QMenu>
#include <QToolButton>
#include <algorithm>
#include <utility>

#include "document/stored_settings.h"
#include "forms/sets/frm_cut_sets.h"
#include "platform/desktop.h"
#include "platform/screens.h"

namespace trimlet {

namespace {

QString rateText(const CutSettings& console, bool fit)
{
    return fit ? QStringLiteral("fit") : QString::number(console.rate);
}

}  // namespace

QString thisScreenSetName() { return CutSetChoice::tr("この画面すべて"); }

CutSetChoice::CutSetChoice(QWidget* parent)
    : QObject(parent), button_(new QToolButton(parent)), menu_(new QMenu(parent))
{
    setObjectName(QStringLiteral("cutSets"));
    button_->setObjectName(QStringLiteral("btnCutSet"));
    menu_->setObjectName(QStringLiteral("popCutSet"));
    button_->setToolTip(tr("いくつものサイズや、並べた画面の一枚絵を、同じ枠からまとめて切り出します"));
    button_->setAutoRaise(true);
    button_->setFocusPolicy(Qt::StrongFocus);  // reached by Tab like the buttons beside it
    button_->setPopupMode(QToolButton::InstantPopup);
    button_->setMenu(menu_);
    connect(menu_, &QMenu::aboutToShow, this, [this] { fillMenu(); });
    setChosen(std::nullopt);
}

void CutSetChoice::fillMenu()
{
    menu_->clear();
    auto* group = new QActionGroup(menu_);
    const QString current = chosen_ ? QString::fromStdString(chosen_->name) : QString();
    auto item = [&](const QString& caption, const QString& name) {
        QAction* a = menu_->addAction(caption);
        a->setObjectName(QStringLiteral("popitemCutSet%1").arg(menu_->actions().size() - 1));
        a->setCheckable(true);
        a->setChecked(name == current);
        group->addAction(a);
        connect(a, &QAction::triggered, this, [this, name] {
            menu_->close();  // also when triggered other than by a click in it
            choose(name);
        });
    };
    item(tr("セットなし"), QString());
    item(thisScreenSetName(), thisScreenSetName());
    for (const CutSet& set : readCutSets(work_.settingsPath())) {
        const QString name = QString::fromStdString(set.name);
        const QString items = set.kind == CutSet::Kind::Span
                                  ? tr("スパン %1画面").arg(set.screens.size())
                                  : QString::fromStdString(formatSizeList(set.sizes)).replace(QLatin1Char(','), ", ");
        item(tr("%1（%2）").arg(name, items), name);
    }
    menu_->addSeparator();
    QAction* edit = menu_->addAction(tr("セットの編集..."));
    edit->setObjectName(QStringLiteral("popitemEditSets"));
    connect(edit, &QAction::triggered, this, [this] {
        menu_->close();
        this->edit();
    });
}

bool CutSetChoice::choose(const QString& name)
{
    if (name.isEmpty()) {
        setChosen(std::nullopt);
        return true;
    }
    if (name == thisScreenSetName()) {
        CutSet set;
        set.name = name.toStdString();
        set.sizes = distinctScreenSizes(work_.screens());
        if (set.sizes.empty())
            return false;
        setChosen(std::move(set));
        return true;
    }
    for (CutSet& set : readCutSets(work_.settingsPath()))
        if (QString::fromStdString(set.name) == name) {
            setChosen(std::move(set));
            return true;
        }
    return false;
}

void CutSetChoice::setChosen(std::optional<CutSet> set)
{
    layout_.reset();
    if (set && set->kind == CutSet::Kind::Span) {
        auto layout = spanLayout(set->screens, set->bezelMm);
        if (!layout) {
            desktop().message(
                button_->window(), MessageKind::Error,
                tr("スパン %1 の画面の配置を使えません。\n%2")
                    .arg(QString::fromStdString(set->name), QString::fromStdString(layout.error().message)));
            set.reset();
        } else {
            layout_ = std::move(layout).value();
        }
    }
    chosen_ = std::move(set);
    // The main piece is one of the set's sizes from the start.
    if (chosen_ && chosen_->kind == CutSet::Kind::Sizes && !chosen_->sizes.empty())
        work_.setCutSize(chosen_->sizes.front().width, chosen_->sizes.front().height);
    const QString name = chosen_ ? QString::fromStdString(chosen_->name) : tr("なし");
    const QString caption = tr("セット：%1").arg(name);
    button_->setText(button_->fontMetrics().elidedText(caption, Qt::ElideRight, 180));
    emit changed();
}

void CutSetChoice::edit()
{
    const std::string& path = work_.settingsPath();
    const auto edited = TfrmCutSets::edit(button_->window(), readCutSets(path), work_.screens());
    if (!edited)
        return;
    if (const Status written = writeCutSets(path, *edited); !written) {
        desktop().message(button_->window(), MessageKind::Error,
                          tr("切り出しセットを設定ファイルに書き込めませんでした。\n%1")
                              .arg(QString::fromStdString(written.error().message)));
        return;
    }
    // The chosen set as it was edited; gone when it was deleted or renamed.
    const QString name = chosen_ ? QString::fromStdString(chosen_->name) : QString();
    if (name.isEmpty() || !choose(name))
        setChosen(std::nullopt);
}

CutSettings CutSetChoice::framingCut(int pw, int ph, const CutSettings& console, bool fit) const
{
    if (!layout_)
        return console;
    const RegionSize region = spanRegion(*layout_, pw, ph, console.rate, fit);
    return {region.width, region.height, 100};
}

std::vector<PieceSize> CutSetChoice::sizesWith(const CutSettings& console) const
{
    std::vector<PieceSize> sizes{{console.width, console.height}};
    for (const PieceSize& s : chosen_->sizes)
        if (std::find(sizes.begin(), sizes.end(), s) == sizes.end())
            sizes.push_back(s);
    return sizes;
}

std::vector<SetPiece> CutSetChoice::pieces(const PieceRequest& main, const CutSettings& console, bool fit,
                                           const std::optional<LosslessGrid>& grid) const
{
    if (!chosen_ || main.source.isEmpty())
        return {};
    const int pw = main.source.width(), ph = main.source.height();
    const IntRect region =
        main.whole ? IntRect{0, 0, pw, ph} : IntRect{main.origin.x, main.origin.y, main.cutW, main.cutH};
    if (layout_)
        return spanPieces(*layout_, chosen_->screens, region);
    const CutFrame frame{{region.x, region.y}, region.w, region.h, main.whole ? 100 : main.rate};
    std::vector<SetPiece> pieces = setPieces(pw, ph, sizesWith(console), frame, fit);
    if (grid)
        snapSetPieces(*grid, pw, ph, pieces);
    return pieces;
}

QString CutSetChoice::command(const PieceRequest& main, const CutSettings& console, bool fit) const
{
    if (!chosen_ || main.whole)
        return {};
    const QString at = QStringLiteral("@%1:%2,%3").arg(rateText(console, fit)).arg(main.origin.x).arg(main.origin.y);
    if (!layout_)
        return QStringLiteral("--cut-set %1%2").arg(QString::fromStdString(formatSizeList(sizesWith(console))), at);
    QString span = QStringLiteral("--span %1%2").arg(QString::fromStdString(formatSpanScreens(chosen_->screens)), at);
    if (chosen_->bezelMm > 0)
        span += QStringLiteral(" --bezel %1").arg(chosen_->bezelMm);
    return span;
}

}  // namespace trimlet
