#include "entry/validate.hpp"

#include <unistd.h>

#include <algorithm>
#include <type_traits>

#include "driver/format.hpp"
#include "driver/limits.hpp"
#include "driver/session.hpp"
#include "platform/runtime.hpp"
#include "resources/dialog_template.hpp"

namespace zeno {
namespace {

constexpr std::size_t directory_length = 260;
// How much of the directory box is looked at: enough to see that a text is
// longer than the field.
constexpr std::size_t directory_read_length = 4096;

// Largest picture the program draws (the row buffer holds one row of it).
constexpr int32_t widest = resolutions.back().width;
constexpr int32_t tallest = resolutions.back().height;

// Makes the directory text current. Fails for an empty text, for a text
// longer than the directory field (cutting it would name another directory)
// and for one with a zero character in it.
bool change_directory(std::string_view text) {
  const std::string_view path = trimmed(text);
  if (path.empty() || path.size() > directory_length || path.find('\0') != std::string_view::npos) return false;
  return ::chdir(std::string(path).c_str()) == 0;
}

std::string box_text(const Dialog& dialog, int id) {
  std::string text;
  dlg_get(dialog, id, text, number_text_length);
  return text;
}

int box_state(const Dialog& dialog, int id, DlgSelector selector = DlgSelector::state) {
  int value = 0;
  dlg_get(dialog, id, value, selector);
  return value;
}

// Reads a number box into `field`; on a text that is no number the field
// keeps its value and the case is marked for a re-check.
template <typename T>
void read_box(const Dialog& dialog, int id, T& field, bool& recheck) {
  const std::string text = box_text(dialog, id);
  bool ok;
  if constexpr (std::is_same_v<T, double>)
    ok = read_double(text, field);
  else if constexpr (std::is_same_v<T, float>)
    ok = read_float(text, field);
  else
    ok = read_int32(text, field);
  if (!ok) recheck = true;
}

// Code and letter of a granted window size: the smallest entry of the table
// that holds it.
const Resolution& resolution_holding(int32_t width, int32_t height) {
  for (const Resolution& r : resolutions)
    if (width <= r.width && height <= r.height) return r;
  return resolutions.back();
}

}  // namespace

void validate_parameters(const Dialog& parameter_dialog, CaseParameters& params, CaseLoopState& loop) {
  // 1. Directory: the only step that clears recheck.
  std::string directory;
  dlg_get(parameter_dialog, ctl::directory, directory, directory_read_length);
  params.directory = blank_padded(directory, directory_length);
  loop.recheck = !change_directory(directory);

  // 2. Colour mode.
  params.sixteen_colors = box_state(parameter_dialog, ctl::sixteen_colors) != 0;
  params.last_color_index = params.sixteen_colors ? 15 : 235;

  // 3. Resolution. Codes other than 1, 3 and 4 mean 800 x 600 and stay as read.
  params.resolution_code = box_state(parameter_dialog, ctl::resolution_list);
  const Resolution& chosen = resolution_for_code(params.resolution_code);
  params.width = chosen.width;
  params.height = chosen.height;
  params.screen_mode_code[0] = chosen.letter;

  // 4. The default window in that size and colour count.
  WindowConfig& config = loop.window_config;
  config.x_pixels = static_cast<int16_t>(params.width);
  config.y_pixels = static_cast<int16_t>(params.height);
  config.text_columns = -1;
  config.text_rows = -1;
  config.colors = static_cast<int16_t>(params.last_color_index + 1);
  config.font_size = -1;
  if (!gw_configure_window(config)) {
    // The runtime rewrote the record to what it can give: take that.
    loop.recheck = true;
    gw_configure_window(config);
    // The picture never exceeds the largest size (its rows must fit the row
    // buffer) and has at least one pixel.
    params.height = std::clamp<int32_t>(config.y_pixels, 1, tallest);
    params.width = std::clamp<int32_t>(config.x_pixels, 1, widest);
    const Resolution& granted = resolution_holding(params.width, params.height);
    params.resolution_code = granted.code;
    params.screen_mode_code[0] = granted.letter;
    params.last_color_index = std::min<int32_t>(config.colors - 1, 235);
    params.sixteen_colors = params.last_color_index < 235;
    if (params.sixteen_colors) params.last_color_index = 15;
  }

  // 5. The magnification at which pixels reach the resolution of a double.
  params.max_magnification = max_magnification_for_width(params.width);

  // 6. The view, all three read before any is checked.
  read_box(parameter_dialog, ctl::center_x, params.center_x, loop.recheck);
  read_box(parameter_dialog, ctl::center_y, params.center_y, loop.recheck);
  read_box(parameter_dialog, ctl::magnification, params.magnification, loop.recheck);

  // 7. Bounds, inclusive.
  if (params.center_x < center_x_min) {
    params.center_x = center_x_min;
    loop.recheck = true;
  } else if (params.center_x > center_x_max) {
    params.center_x = center_x_max;
    loop.recheck = true;
  }
  if (params.center_y < center_y_min) {
    params.center_y = center_y_min;
    loop.recheck = true;
  } else if (params.center_y > center_y_max) {
    params.center_y = center_y_max;
    loop.recheck = true;
  }
  if (params.magnification < magnification_min) {
    params.magnification = magnification_min;
    loop.recheck = true;
  } else if (params.magnification > params.max_magnification) {
    params.magnification = params.max_magnification;
    loop.recheck = true;
  }

  // 8. Border: the width box counts only when Border is checked.
  params.border_enabled = box_state(parameter_dialog, ctl::border, DlgSelector::main) != 0;
  if (params.border_enabled) {
    read_box(parameter_dialog, ctl::border_width, params.border_width, loop.recheck);
    if (params.border_width > border_width_max) {
      params.border_width = border_width_max;
      loop.recheck = true;
    }
  }

  // 9. Algorithm: the first checked of Escape, Integer, Azimuthal.
  if (box_state(parameter_dialog, ctl::escape) != 0) {
    params.algorithm_code = {'E', ' '};
    params.angle = 0;
  } else if (box_state(parameter_dialog, ctl::integer) != 0) {
    params.algorithm_code = {'I', ' '};
    params.angle = -1;
  } else if (box_state(parameter_dialog, ctl::azimuthal) != 0) {
    params.algorithm_code = {'A', ' '};
    read_box(parameter_dialog, ctl::angle, params.angle, loop.recheck);
    params.angle %= 360;
    while (params.angle <= 0) params.angle += 360;
  } else {
    // No algorithm chosen: it stays, and so does its angle; its border mark
    // follows the Border box below.
    params.algorithm_code[1] = ' ';
  }

  // 10. Border mark.
  if (params.border_enabled) params.algorithm_code[1] = 'B';
}

void validate_parameters(Session& session) {
  validate_parameters(session.parameter_dialog, session.params, session.loop);
}

}  // namespace zeno
