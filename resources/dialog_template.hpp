#pragma once
// Dialog templates: controls with ids, kinds, texts, positions and sizes in
// dialog units, styles and creation (= tab) order.

#include <cstdint>
#include <span>
#include <string_view>

namespace zeno {

enum class ControlKind { push_button, group_box, label, drop_down_list, radio_button, check_box, edit_box };

// Style bits of a control.
enum ControlStyle : uint32_t {
  style_none = 0,
  style_default_button = 1u << 0,
  style_tab_stop = 1u << 1,
  style_group_start = 1u << 2,
  style_left_aligned = 1u << 3,   // label text left-aligned
  style_sorted = 1u << 4,         // list keeps its items sorted by text
  style_vscroll = 1u << 5,
  style_list_only = 1u << 6,      // drop-down list without typing
  style_auto = 1u << 7,           // automatic radio button / check box
  style_text_left = 1u << 8,      // button text to the left of its mark
  style_border = 1u << 9,
  style_hscroll = 1u << 10,       // edit box scrolls horizontally
};

struct ControlTemplate {
  int id;
  ControlKind kind;
  std::string_view text;
  int x, y, width, height;  // dialog units
  uint32_t style;
};

struct DialogTemplate {
  int id;
  std::string_view caption;
  std::string_view font;
  int point_size;
  int x, y, width, height;  // dialog units
  std::span<const ControlTemplate> controls;  // creation order = tab order
};

// The template with this resource id, or nullptr.
const DialogTemplate* find_dialog_template(int id);

// Ids of the parameter dialog's controls.
namespace ctl {
inline constexpr int ok = 1;
inline constexpr int resolution_list = 1000;
inline constexpr int center_x = 1002;
inline constexpr int zoom_group = 1003;
inline constexpr int sixteen_colors = 1004;
inline constexpr int colors_236 = 1005;
inline constexpr int x_label = 1006;
inline constexpr int center_y = 1007;
inline constexpr int y_label = 1008;
inline constexpr int magnification = 1009;
inline constexpr int magnification_label = 1010;
inline constexpr int algorithm_group = 1011;
inline constexpr int border = 1012;
inline constexpr int escape = 1013;
inline constexpr int integer = 1014;
inline constexpr int azimuthal = 1015;
inline constexpr int angle = 1016;
inline constexpr int border_width = 1017;
inline constexpr int angle_label = 1018;
inline constexpr int width_label = 1019;
inline constexpr int exit = 1020;
inline constexpr int message = 1023;
inline constexpr int directory = 1026;
inline constexpr int directory_label = 1027;
inline constexpr int output_group = 1028;
inline constexpr int size_label = 1029;
inline constexpr int help = 1030;
}  // namespace ctl

inline constexpr int parameter_dialog_template = 101;

}  // namespace zeno
