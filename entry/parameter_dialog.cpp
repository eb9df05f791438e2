#include "entry/parameter_dialog.hpp"

#include <unistd.h>

#include "driver/format.hpp"
#include "driver/limits.hpp"
#include "driver/records.hpp"
#include "resources/dialog_template.hpp"

namespace zeno {
namespace {

// Longest directory the dialog shows and accepts.
constexpr std::size_t directory_length = 260;

// The process's current directory, or an empty text when the system cannot
// tell or it is longer than the directory box holds. A shortened path would
// name another directory, so none is shown rather than a wrong one.
std::string current_directory() {
  char buffer[directory_length + 1];
  if (::getcwd(buffer, sizeof buffer) == nullptr) return {};
  return std::string(trimmed(buffer));
}

std::string message_label(const std::string& prior_picture_field) {
  const std::string_view name = trimmed(prior_picture_field);
  if (name.empty()) return std::string(message_enter);
  if (name == "0") return std::string(message_recheck);
  return std::string(message_save_prefix) + std::string(name);
}

}  // namespace

void fill_parameter_dialog(Dialog& parameter_dialog, int32_t resolution_code, bool sixteen_colors,
                           const std::array<char, 2>& algorithm_code, int32_t angle, float border_width,
                           double center_x, double center_y, float magnification,
                           const std::string& prior_picture_field, std::string& dialog_status,
                           DialogLoader load) {
  if (!load(parameter_dialog, parameter_dialog_template)) {
    dialog_status = blank_padded(status_init_failed, dialog_status_length);
    return;
  }

  // The message check box: its label, else at least its state.
  if (!dlg_set(parameter_dialog, ctl::message, message_label(prior_picture_field), DlgSelector::label) &&
      !dlg_set(parameter_dialog, ctl::message, 1, DlgSelector::state)) {
    dialog_status = blank_padded(status_write_failed, dialog_status_length);
    return;
  }

  // From here on a control that refuses a value is left as it is.
  dlg_set(parameter_dialog, ctl::directory, current_directory());

  dlg_set(parameter_dialog, ctl::resolution_list, static_cast<int>(resolutions.size()), DlgSelector::item_count);
  for (const Resolution& r : resolutions)
    dlg_set(parameter_dialog, ctl::resolution_list, r.list_item, DlgSelector::item, r.code);
  dlg_set(parameter_dialog, ctl::resolution_list, resolution_code, DlgSelector::state);

  dlg_set(parameter_dialog, ctl::sixteen_colors, sixteen_colors ? 1 : 0, DlgSelector::state);
  dlg_set(parameter_dialog, ctl::colors_236, sixteen_colors ? 0 : 1, DlgSelector::state);
  dlg_set_callback(parameter_dialog, ctl::sixteen_colors, ZENOBUTTON);
  dlg_set_callback(parameter_dialog, ctl::colors_236, ZENOBUTTON);

  dlg_set(parameter_dialog, ctl::escape, algorithm_code[0] == 'E' ? 1 : 0, DlgSelector::state);
  dlg_set(parameter_dialog, ctl::integer, algorithm_code[0] == 'I' ? 1 : 0, DlgSelector::state);
  dlg_set(parameter_dialog, ctl::azimuthal, algorithm_code[0] == 'A' ? 1 : 0, DlgSelector::state);
  dlg_set(parameter_dialog, ctl::border, algorithm_code[1] == 'B' ? 1 : 0);
  dlg_set_callback(parameter_dialog, ctl::escape, ZENOBUTTON);
  dlg_set_callback(parameter_dialog, ctl::integer, ZENOBUTTON);
  dlg_set_callback(parameter_dialog, ctl::azimuthal, ZENOBUTTON);

  dlg_set(parameter_dialog, ctl::angle, angle_box_text(angle));
  dlg_set(parameter_dialog, ctl::border_width, width_box_text(border_width));

  dlg_set(parameter_dialog, ctl::center_x, general_real_form(center_x));
  dlg_set(parameter_dialog, ctl::center_y, general_real_form(center_y));
  dlg_set(parameter_dialog, ctl::magnification, general_real_form(magnification));

  dialog_status = blank_padded("OK", dialog_status_length);
}

void ZENOBUTTON(Dialog& dialog, int control_id, int /*event*/) {
  auto uncheck = [&dialog](int id) { dlg_set(dialog, id, 0, DlgSelector::state); };
  switch (control_id) {
    case ctl::sixteen_colors:
      uncheck(ctl::colors_236);
      break;
    case ctl::colors_236:
      uncheck(ctl::sixteen_colors);
      break;
    case ctl::escape:
      uncheck(ctl::integer);
      uncheck(ctl::azimuthal);
      break;
    case ctl::integer:
      uncheck(ctl::escape);
      uncheck(ctl::azimuthal);
      break;
    case ctl::azimuthal:
      uncheck(ctl::integer);
      uncheck(ctl::escape);
      break;
    default:
      break;
  }
}

}  // namespace zeno
