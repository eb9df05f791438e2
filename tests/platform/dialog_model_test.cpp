// The dialog model every runtime shares: template 101, selectors, clicks.
#include <gtest/gtest.h>

#include "platform/dialog.hpp"

namespace zeno {
namespace {

TEST(DialogModel, InitCreatesEveryControlWithCheckBoxesChecked) {
  Dialog d;
  ASSERT_TRUE(dlg_init(d, parameter_dialog_template));
  EXPECT_EQ(d.controls.size(), 27u);
  int state = 0;
  ASSERT_TRUE(dlg_get(d, ctl::border, state));
  EXPECT_EQ(state, 1);
  ASSERT_TRUE(dlg_get(d, ctl::message, state, DlgSelector::state));
  EXPECT_EQ(state, 1);
  ASSERT_TRUE(dlg_get(d, ctl::escape, state, DlgSelector::state));
  EXPECT_EQ(state, 0);
  EXPECT_FALSE(dlg_init(d, 102));
}

TEST(DialogModel, SelectorsRoundTripAndRefuseWhatAControlDoesNotHave) {
  Dialog d;
  ASSERT_TRUE(dlg_init(d, parameter_dialog_template));
  EXPECT_TRUE(dlg_set(d, ctl::message, "Sa&ve ZENOPIC3.BMP", DlgSelector::label));
  std::string text;
  EXPECT_TRUE(dlg_get(d, ctl::message, text, 20, DlgSelector::label));
  EXPECT_EQ(text, "Sa&ve ZENOPIC3.BMP  ");

  EXPECT_TRUE(dlg_set(d, ctl::resolution_list, 4, DlgSelector::item_count));
  EXPECT_TRUE(dlg_set(d, ctl::resolution_list, " 640 x 480", DlgSelector::item, 1));
  EXPECT_FALSE(dlg_set(d, ctl::resolution_list, "x", DlgSelector::item, 5));
  EXPECT_TRUE(dlg_set(d, ctl::resolution_list, 2, DlgSelector::state));
  int n = 0;
  EXPECT_TRUE(dlg_get(d, ctl::resolution_list, n, DlgSelector::item_count));
  EXPECT_EQ(n, 4);
  EXPECT_TRUE(dlg_get(d, ctl::resolution_list, n, DlgSelector::state));
  EXPECT_EQ(n, 2);
  EXPECT_TRUE(dlg_get(d, ctl::resolution_list, text, 10, DlgSelector::item, 1));
  EXPECT_EQ(text, " 640 x 480");

  EXPECT_TRUE(dlg_set(d, ctl::angle, "    45"));
  EXPECT_TRUE(dlg_get(d, ctl::angle, text, 8, DlgSelector::state));
  EXPECT_EQ(text, "    45  ");

  EXPECT_FALSE(dlg_set(d, ctl::angle, 1, DlgSelector::state));     // an edit box has no flag
  EXPECT_FALSE(dlg_set(d, ctl::border, "x", DlgSelector::main));   // a check box has no text value
  EXPECT_FALSE(dlg_set(d, 4711, 1));
}

TEST(DialogModel, ClickingARadioButtonUnchecksOnlyItsGroupThenCallsBack) {
  Dialog d;
  ASSERT_TRUE(dlg_init(d, parameter_dialog_template));
  dlg_set(d, ctl::sixteen_colors, 1, DlgSelector::state);
  dlg_set(d, ctl::integer, 1, DlgSelector::state);
  std::vector<int> clicked;
  dlg_set_callback(d, ctl::colors_236, [&](Dialog&, int id, int) { clicked.push_back(id); });
  EXPECT_FALSE(dlg_click(d, ctl::colors_236));
  int s16 = -1, s236 = -1, integer = -1;
  dlg_get(d, ctl::sixteen_colors, s16, DlgSelector::state);
  dlg_get(d, ctl::colors_236, s236, DlgSelector::state);
  dlg_get(d, ctl::integer, integer, DlgSelector::state);
  EXPECT_EQ(s16, 0);
  EXPECT_EQ(s236, 1);
  EXPECT_EQ(integer, 1);
  EXPECT_EQ(clicked, std::vector<int>{ctl::colors_236});
  EXPECT_TRUE(dlg_click(d, ctl::ok));
}

}  // namespace
}  // namespace zeno
