#include "forms/main/recent_menu.h"

#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <filesystem>

#include "document/recent_files.h"
#include "forms/widgets/path_text.h"
#include "platform/desktop.h"

namespace trimlet {

namespace {

bool isFile(const std::string& path)
{
    std::error_code error;
    return std::filesystem::is_regular_file(std::filesystem::path(path), error);
}

}  // namespace

RecentMenu::RecentMenu(QPushButton* openButton, QMenu* popEdit, const std::string& settingsPath,
                       std::function<void(const std::string&)> open)
    : QObject(openButton), settingsPath_(settingsPath), open_(std::move(open)), button_(openButton)
{
    menu_ = new QMenu(tr("最近開いたファイル"), openButton);
    menu_->setObjectName(QStringLiteral("popRecent"));
    connect(menu_, &QMenu::aboutToShow, this, &RecentMenu::refill);

    // A child over the button's right edge rather than a split button, so that the button,
    // its layout and its click stay exactly as they were.
    arrow_ = new QToolButton(openButton);
    arrow_->setObjectName(QStringLiteral("btnOpenRecent"));
    arrow_->setArrowType(Qt::DownArrow);
    arrow_->setAutoRaise(true);
    arrow_->setToolTip(menu_->title());
    arrow_->setAccessibleName(menu_->title());
    arrow_->setFocusPolicy(Qt::TabFocus);
    arrow_->setPopupMode(QToolButton::InstantPopup);
    arrow_->setMenu(menu_);
    QWidget::setTabOrder(openButton, arrow_);
    openButton->installEventFilter(this);

    QAction* after = nullptr;
    const QList<QAction*> items = popEdit->actions();
    for (qsizetype i = 0; i + 1 < items.size() && !after; ++i)
        if (items[i]->objectName() == QLatin1String("popitemReload"))
            after = items[i + 1];
    popEdit->insertMenu(after, menu_)->setObjectName(QStringLiteral("popitemRecent"));
}

bool RecentMenu::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == button_ && (event->type() == QEvent::Resize || event->type() == QEvent::Show)) {
        const int width = qMax(12, button_->height() / 2);
        arrow_->setGeometry(button_->width() - width - 2, 2, width, qMax(0, button_->height() - 4));
    }
    return false;
}

void RecentMenu::opened(const std::string& from, const std::string& to, bool stepped)
{
    // Best effort: a settings file that cannot be written loses only the list's newest change.
    if (stepped) {
        (void)updateRecentFiles(settingsPath_, [&](RecentFiles& files) { files.step(from, to); });
        return;
    }
    (void)updateRecentFiles(settingsPath_, [&](RecentFiles& files) { files.add(to); });
    desktop().addRecentFile(to);
}

void RecentMenu::refill()
{
    menu_->clear();
    const RecentFiles files = readRecentFiles(settingsPath_);
    bool missing = false;
    for (const std::string& path : files.paths()) {
        QString caption = displayPath(path);
        QAction* entry = menu_->addAction(caption.replace(QLatin1Char('&'), QLatin1String("&&")));
        entry->setEnabled(isFile(path));
        missing = missing || !entry->isEnabled();
        connect(entry, &QAction::triggered, this, [this, path] { choose(path); });
    }
    menu_->addSeparator();
    QAction* removeMissing = menu_->addAction(tr("見つからないファイルを一覧から消す"));
    removeMissing->setObjectName(QStringLiteral("popitemRecentRemoveMissing"));
    removeMissing->setEnabled(missing);
    connect(removeMissing, &QAction::triggered, this,
            [this] { (void)updateRecentFiles(settingsPath_, [](RecentFiles& f) { f.removeMissing(isFile); }); });
    QAction* clear = menu_->addAction(tr("一覧を消去"));
    clear->setObjectName(QStringLiteral("popitemRecentClear"));
    clear->setEnabled(!files.paths().empty());
    connect(clear, &QAction::triggered, this,
            [this] { (void)updateRecentFiles(settingsPath_, [](RecentFiles& f) { f.clear(); }); });
}

void RecentMenu::choose(const std::string& path)
{
    // The file may have gone since the menu was filled.
    if (isFile(path))
        open_(path);
}

}  // namespace trimlet
