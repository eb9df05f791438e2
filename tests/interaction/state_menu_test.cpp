// The State menu's three items and the flags they steer.

#include "interaction/state_menu.hpp"

#include <gtest/gtest.h>

#include "interaction/scripted_runtime.hpp"

namespace zeno {
namespace {

class StateMenuTest : public testing::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    install_state_menu(session, 4);
  }

  int rotate_flags() const { return rt.menus().at(4).at(2).flags; }

  Session session;
};

TEST_F(StateMenuTest, ItemsFollowPauseInOrderWithRotateChecked) {
  const auto menus = rt.menus();
  ASSERT_EQ(menus.count(4), 1u);
  const auto& items = menus.at(4);
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0].text, "Pause");
  EXPECT_EQ(items[1].text, "&Stop/Zoom Picture");
  EXPECT_EQ(items[1].flags, menu_unchecked);
  EXPECT_EQ(items[2].text, "&Rotate Colors");
  EXPECT_EQ(items[2].flags, menu_checked);
  EXPECT_EQ(items[3].text, "&New Case or Exit");
  EXPECT_EQ(items[3].flags, menu_unchecked);
  EXPECT_EQ(session.interaction.state_menu_number.load(), 4);
}

TEST(StateMenuInstall, ClearsRequestsAndSwitchesRotationOn) {
  testing::ScriptedRuntime rt;
  install_runtime(&rt);
  Session session;
  session.interaction.stop_requested = true;
  session.interaction.new_case_requested = true;
  session.interaction.rotate_colors = false;
  install_state_menu(session, 4);
  EXPECT_FALSE(session.interaction.stop_requested.load());
  EXPECT_FALSE(session.interaction.new_case_requested.load());
  EXPECT_TRUE(session.interaction.rotate_colors.load());
  install_runtime(nullptr);
}

TEST_F(StateMenuTest, RotateColorsTogglesCheckMarkAndFlag) {
  rt.choose_menu_item(4, 3);
  EXPECT_FALSE(session.interaction.rotate_colors.load());
  EXPECT_EQ(rotate_flags(), menu_unchecked);

  rt.choose_menu_item(4, 3);
  EXPECT_TRUE(session.interaction.rotate_colors.load());
  EXPECT_EQ(rotate_flags(), menu_checked);
}

TEST_F(StateMenuTest, RotateColorsFollowsTheReportedCheckMarkNotTheFlag) {
  // The flag disagrees with the mark: the mark decides.
  session.interaction.rotate_colors = false;
  rt.choose_menu_item(4, 3);  // reported checked
  EXPECT_FALSE(session.interaction.rotate_colors.load());
  EXPECT_EQ(rotate_flags(), menu_unchecked);

  on_rotate_colors(session.interaction, 0);
  EXPECT_TRUE(session.interaction.rotate_colors.load());
  EXPECT_EQ(rotate_flags(), menu_checked);
}

TEST_F(StateMenuTest, StopAndNewCaseOnlySetTheirFlags) {
  rt.choose_menu_item(4, 2);
  rt.choose_menu_item(4, 2);
  EXPECT_TRUE(session.interaction.stop_requested.load());
  EXPECT_FALSE(session.interaction.new_case_requested.load());

  rt.choose_menu_item(4, 4);
  EXPECT_TRUE(session.interaction.new_case_requested.load());
  EXPECT_TRUE(session.interaction.rotate_colors.load());

  // No check marks appear on the two plain items.
  const auto items = rt.menus().at(4);
  EXPECT_EQ(items[1].flags, menu_unchecked);
  EXPECT_EQ(items[3].flags, menu_unchecked);
}

}  // namespace
}  // namespace zeno
