#include "forms/main/console_binding.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QSlider>

#include "forms/widgets/up_down.h"

namespace trimlet {

namespace {

// The group's checked item, looked up rather than asked of the group: while the settings put
// a choice in, the group is not exclusive and keeps no checked button of its own.
int checkedItem(const QButtonGroup* group)
{
    for (QAbstractButton* b : group->buttons())
        if (b->isChecked())
            return group->id(b);
    return -1;
}

}  // namespace

OutputFormat formatOfItem(int item)
{
    switch (item) {
    case 1: return OutputFormat::Bmp;
    case 2: return OutputFormat::Png;
    case 3: return OutputFormat::Webp;
    case 4: return OutputFormat::Jxl;
    default: return OutputFormat::Jpeg;
    }
}

ConsoleBinding::ConsoleBinding(const Controls& c)
{
    const auto follow = [](UpDown* ud, int& value) {
        value = ud->position();
        QObject::connect(ud, &UpDown::positionChanged, ud, [&value](int position) { value = position; });
    };
    follow(c.width, cut_.width);
    follow(c.height, cut_.height);
    follow(c.rate, cut_.rate);
    follow(c.maxKb, output_.maxKb);
    output_.quality = c.quality->value();
    QObject::connect(c.quality, &QSlider::valueChanged, c.quality, [this](int value) { output_.quality = value; });
    const auto takeFormat = [this, group = c.format] {
        formatItem_ = checkedItem(group);
        output_.format = formatOfItem(formatItem_);
    };
    const auto takeTail = [this, group = c.tail] {
        tailItem_ = checkedItem(group);
        output_.tail = tailItem_ == 1 ? SerialTail::Hyphen : SerialTail::Paren;
    };
    takeFormat();
    takeTail();
    output_.lossless = c.lossless->isChecked();
    QObject::connect(c.lossless, &QCheckBox::toggled, c.lossless, [this](bool on) { output_.lossless = on; });
    QObject::connect(c.format, &QButtonGroup::idToggled, c.format, takeFormat);
    QObject::connect(c.tail, &QButtonGroup::idToggled, c.tail, takeTail);
}

}  // namespace trimlet
