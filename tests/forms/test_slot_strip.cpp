// The slots without the main window: which slot a command means, which drags a slot takes,
// the buttons' states and the commands their controls send.

#include <QtTest>

#include <QAction>
#include <QGroupBox>
#include <QToolButton>

#include "forms/main/slot_strip.h"
#include "forms/main/work_area_widgets.h"
#include "tests/support/test_support.h"

using namespace trimlet;

class SlotStripTest : public QObject {
    Q_OBJECT
private slots:
    void commandsNameTheirSlot()
    {
        QWidget band;
        SlotStrip strip(&band);
        QCOMPARE(strip.group()->objectName(), QStringLiteral("gbxTmpSave"));
        for (int slot = 1; slot <= 3; ++slot) {
            QCOMPARE(strip.slotForSender(strip.saveButton(slot)), slot);
            QCOMPARE(strip.slotForSender(strip.cutSaveButton(slot)), slot);
            QCOMPARE(strip.slotForSender(strip.loadButton(slot)), slot);
            QCOMPARE(strip.slotOfPanel(strip.panel(slot)), slot);
            QCOMPARE(strip.slotForSender(strip.panel(slot)), 0);  // a panel is no command
        }
        // The menu's items mean the slot it was opened on, and nothing else.
        for (int target : {-1, 0, 1, 2, 3, 4}) {
            strip.popupTarget = target;
            const int expected = target >= 1 && target <= 3 ? target : 0;
            for (QAction* item : {strip.saveItem(), strip.cutSaveItem(), strip.loadItem()})
                QCOMPARE(strip.slotForSender(item), expected);
        }
        QCOMPARE(strip.slotForSender(&band), 0);
        QCOMPARE(strip.slotForSender(nullptr), 0);
        QCOMPARE(strip.slotOfPanel(strip.saveButton(1)), 0);
    }

    void dragsNeedAFilledOtherSlotOrThePicture()
    {
        QWidget band, view;
        SlotStrip strip(&band);
        for (int slot = 1; slot <= 3; ++slot)
            QVERIFY(strip.acceptsDrag(&view, slot, &view));  // the editing picture, anywhere
        // Empty slots give nothing.
        QVERIFY(!strip.acceptsDrag(strip.panel(1), 2, &view));
        QCOMPARE(strip.filledSlotOf(strip.panel(1)), 0);

        strip.setPicture(1, Picture(test::photoLike(30, 20)));
        QCOMPARE(strip.filledSlotOf(strip.panel(1)), 1);
        QVERIFY(strip.acceptsDrag(strip.panel(1), 2, &view));
        QVERIFY(strip.acceptsDrag(strip.panel(1), 3, &view));
        QVERIFY(!strip.acceptsDrag(strip.panel(1), 1, &view));  // not onto itself
        QVERIFY(!strip.acceptsDrag(strip.saveButton(1), 2, &view));
        QVERIFY(!strip.acceptsDrag(nullptr, 2, &view));
        QCOMPARE(strip.filledSlotOf(strip.saveButton(1)), 0);
    }

    void buttonsFollowTheSlotsAndThePicture()
    {
        QWidget band;
        SlotStrip strip(&band);
        strip.setPicture(2, Picture(test::photoLike(40, 40)));
        QVERIFY(!strip.panel(2)->image().isNull());  // shown on its panel
        QVERIFY(strip.panel(1)->image().isNull());

        strip.setEditingEnabled(false);
        for (int slot = 1; slot <= 3; ++slot)
            QVERIFY(!strip.saveButton(slot)->isEnabled() && !strip.cutSaveButton(slot)->isEnabled() &&
                    !strip.loadButton(slot)->isEnabled());
        strip.setEditingEnabled(true);
        for (int slot = 1; slot <= 3; ++slot) {
            QVERIFY(strip.saveButton(slot)->isEnabled() && strip.cutSaveButton(slot)->isEnabled());
            QCOMPARE(strip.loadButton(slot)->isEnabled(), slot == 2);
        }
        strip.setPicture(2, Picture());
        strip.setPicture(3, Picture(test::photoLike(10, 50)));
        strip.updateLoadButtons();
        QVERIFY(!strip.loadButton(2)->isEnabled() && strip.loadButton(3)->isEnabled());
        QVERIFY(strip.panel(2)->image().isNull());
    }

    void controlsSendTheirCommands()
    {
        QWidget band;
        SlotStrip strip(&band);
        std::vector<std::pair<QString, const QObject*>> sent;
        std::vector<std::pair<QString, int>> drops;
        SlotCallbacks commands;
        commands.save = [&](QObject* s) { sent.emplace_back(QStringLiteral("save"), s); };
        commands.cutSave = [&](QObject* s) { sent.emplace_back(QStringLiteral("cut"), s); };
        commands.load = [&](QObject* s) { sent.emplace_back(QStringLiteral("load"), s); };
        commands.acceptsDrag = [&](QObject*, int slot) { return slot != 2; };
        commands.dropped = [&](QObject*, int slot) { drops.emplace_back(QStringLiteral("drop"), slot); };
        commands.pressed = [&](QWidget* panel, QMouseEvent*) { sent.emplace_back(QStringLiteral("press"), panel); };
        commands.released = [&](int slot, QMouseEvent*) { drops.emplace_back(QStringLiteral("release"), slot); };
        strip.connectCommands(&band, commands);
        band.show();

        strip.cutSaveButton(2)->click();
        strip.loadButton(3)->click();
        strip.saveItem()->trigger();
        QCOMPARE(sent.size(), size_t(3));
        QVERIFY(sent[0] == std::make_pair(QStringLiteral("cut"), static_cast<const QObject*>(strip.cutSaveButton(2))));
        QVERIFY(sent[1] == std::make_pair(QStringLiteral("load"), static_cast<const QObject*>(strip.loadButton(3))));
        QVERIFY(sent[2] == std::make_pair(QStringLiteral("save"), static_cast<const QObject*>(strip.saveItem())));

        // Each panel asks and drops for its own slot.
        QVERIFY(strip.panel(1)->acceptsDrag(&band));
        QVERIFY(!strip.panel(2)->acceptsDrag(&band));
        strip.panel(3)->dropped(&band);
        QTest::mouseClick(strip.panel(1), Qt::RightButton);
        QCOMPARE(sent.back().second, static_cast<const QObject*>(strip.panel(1)));
        QCOMPARE(drops.size(), size_t(2));
        QVERIFY(drops[0] == std::make_pair(QStringLiteral("drop"), 3));
        QVERIFY(drops[1] == std::make_pair(QStringLiteral("release"), 1));
    }
};

QTEST_MAIN(SlotStripTest)
#include "test_slot_strip.moc"
