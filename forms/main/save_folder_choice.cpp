#include "forms/main/save_folder_choice.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <algorithm>

#include "forms/widgets/path_text.h"
#include "platform/desktop.h"

namespace trimlet {

namespace {

// The items: beside the picture, the listed folder when there is one, and the dialog.
constexpr int kBeside = 0;

// Shows what it chooses after a caption while there is room for both, and the end of a
// text too long for its width, where a path tells folders apart.
class EndShowingCombo : public QComboBox {
public:
    EndShowingCombo(QString caption, QWidget* parent) : QComboBox(parent), caption_(std::move(caption)) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QStylePainter painter(this);
        QStyleOptionComboBox option;
        initStyleOption(&option);
        painter.drawComplexControl(QStyle::CC_ComboBox, option);
        const int room =
            style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this).width() - 2;
        const QString captioned = caption_ + option.currentText;
        option.currentText = fontMetrics().horizontalAdvance(captioned) <= room
                                 ? captioned
                                 : fontMetrics().elidedText(option.currentText, Qt::ElideLeft, room);
        painter.drawControl(QStyle::CE_ComboBoxLabel, option);
    }

private:
    QString caption_;
};

}  // namespace

SaveFolderChoice::SaveFolderChoice(QWidget* parent) : QObject(parent)
{
    combo_ = new EndShowingCombo(tr("保存先：%1").arg(QString()), parent);
    combo_->setObjectName(QStringLiteral("cmbSaveDir"));
    // As wide as the layout makes it, whatever folder it shows: the console must not grow.
    combo_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo_->setMinimumContentsLength(4);
    combo_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    combo_->setMaximumWidth(combo_->fontMetrics().averageCharWidth() * 40);
    connect(combo_, &QComboBox::activated, this, &SaveFolderChoice::picked);
    show();
}

void SaveFolderChoice::setFolder(std::string folder)
{
    folder_ = std::move(folder);
    if (!folder_.empty())
        listed_ = folder_;
    show();
}

void SaveFolderChoice::picked(int index)
{
    if (index == kBeside) {
        folder_.clear();
    } else if (index == combo_->count() - 1) {
        const std::string start = folder_.empty() ? listed_ : folder_;
        const QString chosen = desktop().chooseFolder(combo_->window(), tr("保存先のフォルダを選択"),
                                                      start.empty() ? QString() : displayPath(utf8Ancestor(start)));
        if (!chosen.isEmpty())
            setFolder(pathFromDialog(chosen, {start}));
    } else {
        folder_ = listed_;
    }
    show();
}

void SaveFolderChoice::show()
{
    combo_->clear();
    combo_->addItem(tr("画像と同じフォルダ"));
    if (!listed_.empty()) {
        combo_->addItem(displayPath(listed_));
        combo_->setItemData(1, combo_->itemText(1), Qt::ToolTipRole);
    }
    combo_->addItem(tr("フォルダを選択…"));
    // The list may be wider than the box; a long path still shows its end.
    combo_->view()->setTextElideMode(Qt::ElideLeft);
    combo_->view()->setMinimumWidth(std::min(combo_->view()->sizeHintForColumn(0) + 8, 480));
    combo_->setCurrentIndex(folder_.empty() ? kBeside : 1);
    combo_->setToolTip(tr("保存先：%1").arg(folder_.empty() ? combo_->itemText(kBeside) : displayPath(folder_)));
}

}  // namespace trimlet
