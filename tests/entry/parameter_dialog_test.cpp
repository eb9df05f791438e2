// Filling the parameter dialog: control by control, the message box, the
// failure statuses and the radio buttons' click routine.
#include <gtest/gtest.h>

#include <algorithm>

#include "entry/entry_fixture.hpp"

namespace zeno::testing {
namespace {

using ParameterDialog = EntryTest;

TEST_F(ParameterDialog, FirstShowingAfterStartUp) {
  fill();
  EXPECT_EQ(s.loop.dialog_status, "OK" + std::string(126, ' '));

  EXPECT_EQ(text_of(ctl::message), "Enter or Confirm Parameters");
  EXPECT_EQ(state_of(ctl::message), 1);
  EXPECT_EQ(text_of(ctl::directory), start_directory_);

  const ControlState* list = s.parameter_dialog.find(ctl::resolution_list);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->items, (std::vector<std::string>{" 640 x 480", " 800 x 600", "1024 x 768", "1280 x 1024"}));
  EXPECT_EQ(list->selected, 2);
  // Sorted by text the items keep their order: item n is resolution code n.
  EXPECT_TRUE(std::is_sorted(list->items.begin(), list->items.end()));

  EXPECT_EQ(state_of(ctl::sixteen_colors), 0);
  EXPECT_EQ(state_of(ctl::colors_236), 1);
  EXPECT_EQ(text_of(ctl::center_x), "-7.454298994000000E-001");
  EXPECT_EQ(text_of(ctl::center_y), "1.130077947400000E-001");
  EXPECT_EQ(text_of(ctl::magnification), "9.000000E-01");
  EXPECT_EQ(state_of(ctl::escape), 1);
  EXPECT_EQ(state_of(ctl::integer), 0);
  EXPECT_EQ(state_of(ctl::azimuthal), 0);
  EXPECT_EQ(state_of(ctl::border), 0);
  EXPECT_EQ(text_of(ctl::angle), "     0");
  EXPECT_EQ(text_of(ctl::border_width), "   .15");

  // The five radio buttons, and nothing else, have the click routine.
  for (const ControlState& c : s.parameter_dialog.controls) {
    const bool radio = c.layout->kind == ControlKind::radio_button;
    EXPECT_EQ(static_cast<bool>(c.on_click), radio) << "control " << c.layout->id;
  }
}

struct MessageCase {
  const char* prior_picture_field;
  const char* label;
};

class MessageBox : public EntryTest, public ::testing::WithParamInterface<MessageCase> {};

TEST_P(MessageBox, LabelFollowsThePriorPictureAndTheBoxStaysChecked) {
  s.loop.prior_picture_field = blank_padded(GetParam().prior_picture_field, 12);
  fill();
  EXPECT_EQ(text_of(ctl::message), GetParam().label);
  EXPECT_EQ(state_of(ctl::message), 1);
  EXPECT_EQ(trimmed(s.loop.dialog_status), "OK");
}

INSTANTIATE_TEST_SUITE_P(Labels, MessageBox,
                         ::testing::Values(MessageCase{"", "Enter or Confirm Parameters"},
                                           MessageCase{"0", "*** RE-CHECK PARAMETERS ***"},
                                           MessageCase{"ZENOPIC3.BMP", "Sa&ve ZENOPIC3.BMP"},
                                           MessageCase{"ZENOPIC_.BMP", "Sa&ve ZENOPIC_.BMP"},
                                           // Only a lone "0" asks for a re-check.
                                           MessageCase{"00", "Sa&ve 00"}));

struct AlgorithmCase {
  std::array<char, 2> code;
  int32_t angle;
  int escape, integer, azimuthal, border;
  const char* angle_text;
};

class AlgorithmButtons : public EntryTest, public ::testing::WithParamInterface<AlgorithmCase> {};

TEST_P(AlgorithmButtons, FollowTheCodeAndTheAngleBoxKeepsSixColumns) {
  const AlgorithmCase& c = GetParam();
  s.params.algorithm_code = c.code;
  s.params.angle = c.angle;
  fill();
  EXPECT_EQ(state_of(ctl::escape), c.escape);
  EXPECT_EQ(state_of(ctl::integer), c.integer);
  EXPECT_EQ(state_of(ctl::azimuthal), c.azimuthal);
  EXPECT_EQ(state_of(ctl::border), c.border);
  EXPECT_EQ(text_of(ctl::angle), c.angle_text);
}

INSTANTIATE_TEST_SUITE_P(Codes, AlgorithmButtons,
                         ::testing::Values(AlgorithmCase{{'A', 'B'}, 45, 0, 0, 1, 1, "    45"},
                                           AlgorithmCase{{'I', ' '}, -1, 0, 1, 0, 0, "    -1"},
                                           AlgorithmCase{{'E', 'B'}, 0, 1, 0, 0, 1, "     0"},
                                           AlgorithmCase{{'A', ' '}, 270, 0, 0, 1, 0, "   270"}));

TEST_F(ParameterDialog, NumberBoxesUseTheirLayouts) {
  s.params.center_x = -2.0;
  s.params.center_y = 0.0;
  s.params.magnification = 12.5f;
  s.params.border_width = 1.5f;
  s.params.sixteen_colors = true;
  s.params.resolution_code = 4;
  fill();
  EXPECT_EQ(text_of(ctl::center_x), "-2.000000000000000");
  EXPECT_EQ(text_of(ctl::center_y), "0.000000000000000E+000");
  EXPECT_EQ(text_of(ctl::magnification), "12.500000");
  EXPECT_EQ(text_of(ctl::border_width), "  1.50");
  EXPECT_EQ(state_of(ctl::sixteen_colors), 1);
  EXPECT_EQ(state_of(ctl::colors_236), 0);
  EXPECT_EQ(state_of(ctl::resolution_list), 4);
}

TEST_F(ParameterDialog, FillingAgainStartsFromTheTemplate) {
  fill();
  type(ctl::center_x, "typed but never confirmed");
  click(ctl::border);
  fill();
  EXPECT_EQ(text_of(ctl::center_x), "-7.454298994000000E-001");
  EXPECT_EQ(state_of(ctl::border), 0);
}

TEST_F(ParameterDialog, ShowsTheDirectoryMadeCurrentByValidation) {
  fill();
  type(ctl::directory, "/");
  validate();
  fill();
  EXPECT_EQ(text_of(ctl::directory), "/");
}

// --- failure statuses, through a loader standing in for dlg_init ---

bool refuse(Dialog&, int) { return false; }

// A parameter dialog whose message box is missing: neither label nor state
// can be written.
bool without_message_box(Dialog& dialog, int id) {
  if (!dlg_init(dialog, id)) return false;
  std::erase_if(dialog.controls, [](const ControlState& c) { return c.layout->id == ctl::message; });
  return true;
}

// A parameter dialog whose control 1023 has a state but no label.
const ControlTemplate stateful_without_label{ctl::message, ControlKind::drop_down_list, "", 7, 7, 134, 10, style_none};
bool message_box_without_label(Dialog& dialog, int id) {
  if (!dlg_init(dialog, id)) return false;
  ControlState* c = dialog.find(ctl::message);
  c->layout = &stateful_without_label;
  c->items = {"only"};
  c->selected = 0;
  return true;
}

TEST_F(ParameterDialog, TemplateThatCannotBeLoaded) {
  Dialog d;
  std::string status = "stale";
  fill_parameter_dialog(d, 2, false, {'E', ' '}, 0, 0.15f, 0.0, 0.0, 1.0f, std::string(12, ' '), status, refuse);
  EXPECT_EQ(status, "Failed to initialize dialog box" + std::string(97, ' '));
  EXPECT_EQ(status.size(), 128u);
}

TEST_F(ParameterDialog, MessageBoxThatTakesNothingStopsTheFill) {
  Dialog d;
  std::string status;
  fill_parameter_dialog(d, 2, false, {'E', ' '}, 0, 0.15f, 0.0, 0.0, 1.0f, std::string(12, ' '), status,
                        without_message_box);
  EXPECT_EQ(status, "Failed to write into Dialog Box" + std::string(97, ' '));
  // Returned at once: nothing after the message box was filled.
  EXPECT_EQ(d.find(ctl::center_x)->text, "");
  EXPECT_TRUE(d.find(ctl::resolution_list)->items.empty());
}

TEST_F(ParameterDialog, MessageBoxWithoutLabelFallsBackToItsState) {
  Dialog d;
  std::string status;
  fill_parameter_dialog(d, 2, false, {'E', ' '}, 0, 0.15f, 0.0, 0.0, 1.0f, std::string(12, ' '), status,
                        message_box_without_label);
  EXPECT_EQ(trimmed(status), "OK");
  EXPECT_EQ(d.find(ctl::message)->selected, 1);
  EXPECT_EQ(d.find(ctl::center_x)->text, "0.000000000000000E+000");
}

// --- ZENOBUTTON ---

struct ButtonCase {
  int clicked;
  std::array<int, 5> after;  // 1004, 1005, 1013, 1014, 1015, all checked before
};

class ZenoButton : public EntryTest, public ::testing::WithParamInterface<ButtonCase> {};

constexpr std::array<int, 5> radios{ctl::sixteen_colors, ctl::colors_236, ctl::escape, ctl::integer,
                                    ctl::azimuthal};

TEST_P(ZenoButton, UnchecksTheOthersOfItsGroupAndLeavesItselfAlone) {
  fill();
  for (int id : radios) set_state(id, 1);
  ZENOBUTTON(s.parameter_dialog, GetParam().clicked, dialog_event_click);
  for (std::size_t i = 0; i < radios.size(); ++i)
    EXPECT_EQ(state_of(radios[i]), GetParam().after[i]) << "radio " << radios[i];
}

INSTANTIATE_TEST_SUITE_P(Groups, ZenoButton,
                         ::testing::Values(ButtonCase{ctl::sixteen_colors, {1, 0, 1, 1, 1}},
                                           ButtonCase{ctl::colors_236, {0, 1, 1, 1, 1}},
                                           ButtonCase{ctl::escape, {1, 1, 1, 0, 0}},
                                           ButtonCase{ctl::integer, {1, 1, 0, 1, 0}},
                                           ButtonCase{ctl::azimuthal, {1, 1, 0, 0, 1}},
                                           ButtonCase{ctl::border, {1, 1, 1, 1, 1}},
                                           ButtonCase{ctl::ok, {1, 1, 1, 1, 1}}));

TEST_F(ParameterDialog, ClickingTwoHundredThirtySixColorsReadsBackExclusive) {
  s.params.sixteen_colors = true;
  fill();
  click(ctl::colors_236);
  validate();
  EXPECT_EQ(state_of(ctl::sixteen_colors), 0);
  EXPECT_EQ(state_of(ctl::colors_236), 1);
  EXPECT_FALSE(s.params.sixteen_colors);
  EXPECT_EQ(s.params.last_color_index, 235);
}

}  // namespace
}  // namespace zeno::testing
