#include "forms/main/preset_menu.h"

#include <QCoreApplication>
#include <QFrame>
#include <QGridLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QToolButton>
#include <QWidgetAction>

#include "settings/cut_size_presets.h"

namespace trimlet {

namespace {

// The preset menu is a grid of buttons, which a menu's own keys do not reach: the arrows walk
// the items in order (the second column follows the first), left and right switch columns,
// Home and End go to the ends, and Return, Enter or Space choose. The screen's item above the
// grid, while shown, comes before the first item and after the last.
class PresetGridKeys : public QObject {
public:
    PresetGridKeys(QToolButton* top, std::vector<QToolButton*> buttons, int rows, QObject* parent)
        : QObject(parent), top_(top), buttons_(std::move(buttons)), rows_(rows)
    {
        top_->installEventFilter(this);
        for (QToolButton* b : buttons_)
            b->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        // The top item is index n, so that stepping on from either end of the grid reaches it.
        const int n = int(buttons_.size());
        const bool withTop = !top_->isHidden();
        const int count = withTop ? n + 1 : n;
        int i = n;
        if (watched != top_) {
            const auto at = std::find(buttons_.begin(), buttons_.end(), watched);
            if (at == buttons_.end())
                return false;
            i = int(at - buttons_.begin());
        }
        int next = i;
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Up: next = (i + count - 1) % count; break;
        case Qt::Key_Down: next = (i + 1) % count; break;
        case Qt::Key_Left: next = i == n ? i : (i + n - rows_) % n; break;
        case Qt::Key_Right: next = i == n ? i : (i + rows_) % n; break;
        case Qt::Key_Home: next = withTop ? n : 0; break;
        case Qt::Key_End: next = n - 1; break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space: button(i)->defaultAction()->trigger(); return true;
        default: return false;
        }
        button(next)->setFocus(Qt::TabFocusReason);
        return true;
    }

private:
    QToolButton* button(int i) const { return i == int(buttons_.size()) ? top_ : buttons_[std::size_t(i)]; }

    QToolButton* top_;
    std::vector<QToolButton*> buttons_;
    int rows_;
};

// The built-in presets' names that have a translation, for lupdate; settings/ knows no Qt.
[[maybe_unused]] const char* const kBuiltInNames[] = {
    QT_TRANSLATE_NOOP("CutSizePreset", "横VGA"),   QT_TRANSLATE_NOOP("CutSizePreset", "横WVGA"),
    QT_TRANSLATE_NOOP("CutSizePreset", "横SVGA"),  QT_TRANSLATE_NOOP("CutSizePreset", "横WSVGA"),
    QT_TRANSLATE_NOOP("CutSizePreset", "横XGA"),   QT_TRANSLATE_NOOP("CutSizePreset", "横HD"),
    QT_TRANSLATE_NOOP("CutSizePreset", "横XGA+"),  QT_TRANSLATE_NOOP("CutSizePreset", "横SXGA"),
    QT_TRANSLATE_NOOP("CutSizePreset", "横UXGA"),  QT_TRANSLATE_NOOP("CutSizePreset", "横FHD"),
    QT_TRANSLATE_NOOP("CutSizePreset", "縦VGA"),   QT_TRANSLATE_NOOP("CutSizePreset", "縦WVGA"),
    QT_TRANSLATE_NOOP("CutSizePreset", "縦WVGA+"), QT_TRANSLATE_NOOP("CutSizePreset", "縦FWVGA"),
    QT_TRANSLATE_NOOP("CutSizePreset", "縦QHD"),   QT_TRANSLATE_NOOP("CutSizePreset", "縦DVGA"),
    QT_TRANSLATE_NOOP("CutSizePreset", "縦XGA"),   QT_TRANSLATE_NOOP("CutSizePreset", "ヤフオク"),
};

}  // namespace

QString presetName(const std::string& name) { return QCoreApplication::translate("CutSizePreset", name.c_str()); }

QString presetMenuCaption(const CutSizePreset& preset)
{
    CutSizePreset shown = preset;
    shown.name = presetName(preset.name).toStdString();
    return QString::fromStdString(presetCaption(shown));
}

QMenu* buildPresetMenu(QWidget* parent, QAction* (&items)[20], QAction*& screenItem)
{
    // The screen's item, a line, then twenty items in two columns of ten: a grid of flat
    // buttons, each showing one item.
    auto* popTpl = new QMenu(parent);
    popTpl->setObjectName(QStringLiteral("popTpl"));
    auto* grid = new QWidget(popTpl);
    auto* layout = new QGridLayout(grid);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(0);
    // One sheet for all the buttons: set on each, it was parsed and polished twenty-one times.
    grid->setStyleSheet(
        QStringLiteral("QToolButton { text-align: left; padding: 2px 8px; border: none; }"
                       "QToolButton:focus, QToolButton:hover { background: palette(highlight);"
                       " color: palette(highlighted-text); }"));
    const auto itemButton = [grid](QAction* action) {
        auto* b = new QToolButton(grid);
        b->setDefaultAction(action);
        b->setAutoRaise(true);
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        b->setFocusPolicy(Qt::StrongFocus);
        return b;
    };
    screenItem = new QAction(popTpl);
    screenItem->setObjectName(QStringLiteral("itemScreen"));
    QToolButton* top = itemButton(screenItem);
    layout->addWidget(top, 0, 0, 1, 2);
    auto* line = new QFrame(grid);
    line->setObjectName(QStringLiteral("lineScreen"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout->addWidget(line, 1, 0, 1, 2);
    // The item's button and the line follow the item: a menu without it has no line either.
    QObject::connect(screenItem, &QAction::visibleChanged, grid, [top, line, item = screenItem] {
        top->setVisible(item->isVisible());
        line->setVisible(item->isVisible());
    });

    std::vector<QToolButton*> buttons;
    for (int i = 0; i < 20; ++i) {
        items[i] = new QAction(popTpl);
        items[i]->setObjectName(QStringLiteral("item%1").arg(i + 1));
        items[i]->setData(i);
        QToolButton* b = itemButton(items[i]);
        layout->addWidget(b, 2 + i % 10, i / 10);
        buttons.push_back(b);
    }
    auto* holder = new QWidgetAction(popTpl);
    holder->setDefaultWidget(grid);
    popTpl->addAction(holder);
    new PresetGridKeys(top, buttons, 10, popTpl);
    // The keys reach the focused item, so the menu opens with the first stored size focused.
    QObject::connect(popTpl, &QMenu::aboutToShow, buttons.front(),
                     [first = buttons.front()] { first->setFocus(Qt::PopupFocusReason); });
    return popTpl;
}

void popupBelow(QMenu* menu, QWidget* button, bool alignRight)
{
    menu->adjustSize();
    QPoint anchor = button->mapToGlobal(QPoint(0, button->height()));
    if (alignRight)
        anchor.rx() += button->width() - menu->sizeHint().width();
    menu->popup(anchor);
}

}  // namespace trimlet
