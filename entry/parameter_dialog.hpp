#pragma once
// The parameter dialog: builds the dialog object from template 101 and loads
// every control from the case parameters and what the case loop says about
// the previous picture. Running the dialog is the case loop's business; the
// values are read back by validate_parameters.

#include <array>
#include <cstdint>
#include <string>

#include "platform/dialog.hpp"

namespace zeno {

// The three labels of the message check box (1023).
inline constexpr std::string_view message_enter = "Enter or Confirm Parameters";
inline constexpr std::string_view message_recheck = "*** RE-CHECK PARAMETERS ***";
inline constexpr std::string_view message_save_prefix = "Sa&ve ";

// The failure texts of dialog_status (blank-padded to 128 characters).
inline constexpr std::string_view status_init_failed = "Failed to initialize dialog box";
inline constexpr std::string_view status_write_failed = "Failed to write into Dialog Box";
inline constexpr std::size_t dialog_status_length = 128;

// How the dialog object is created; dlg_init in the program. Tests pass their
// own to reach the failure paths.
using DialogLoader = bool (*)(Dialog& dialog, int template_id);

// Creates `parameter_dialog` afresh and fills it. `prior_picture_field` is
// all blanks (first showing, or the last picture was not kept open), "0" and
// blanks (validation asked for a re-check) or the name of the picture file
// waiting for the keep decision. `dialog_status` becomes "OK" or one of the
// two failure texts, blank-padded to 128 characters. Only the dialog and the
// status are written.
void fill_parameter_dialog(Dialog& parameter_dialog, int32_t resolution_code, bool sixteen_colors,
                           const std::array<char, 2>& algorithm_code, int32_t angle, float border_width,
                           double center_x, double center_y, float magnification,
                           const std::string& prior_picture_field, std::string& dialog_status,
                           DialogLoader load = &dlg_init);

// The click routine of the five radio buttons: unchecks the other buttons of
// the clicked one's group (the clicked button checks itself).
void ZENOBUTTON(Dialog& dialog, int control_id, int event);

}  // namespace zeno
