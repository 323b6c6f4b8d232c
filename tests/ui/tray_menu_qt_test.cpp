// The Qt tray menu's items, texts, separators and check mark.
#include "ui/tray_menu_qt.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>

namespace {

TEST(QtTrayMenu, HasFourCommandsWithSeparatorsAndTheCheckAsGiven) {
    for (bool checked : {false, true}) {
        auto menu = CreateTrayMenu(checked);
        const QList<QAction*> actions = menu->actions();
        ASSERT_EQ(actions.size(), 6);
        EXPECT_EQ(actions[0]->text(), QStringLiteral("設定(&S)"));
        EXPECT_TRUE(actions[1]->isSeparator());
        EXPECT_EQ(actions[2]->text(), QStringLiteral("キーボードLED使用"));
        EXPECT_TRUE(actions[3]->isSeparator());
        EXPECT_EQ(actions[4]->text(), QStringLiteral("このプログラムについて(&A)"));
        EXPECT_EQ(actions[5]->text(), QStringLiteral("終了(&X)"));
        EXPECT_EQ(actions[0]->data().toInt(), 1011);
        EXPECT_EQ(actions[2]->data().toInt(), 1015);
        EXPECT_EQ(actions[4]->data().toInt(), 1006);
        EXPECT_EQ(actions[5]->data().toInt(), 1005);
        EXPECT_TRUE(actions[2]->isCheckable());
        EXPECT_EQ(actions[2]->isChecked(), checked);
        for (QAction* action : actions) {
            EXPECT_TRUE(action->isEnabled());
            if (action != actions[2]) {
                EXPECT_FALSE(action->isChecked());
            }
        }
    }
}

}  // namespace
