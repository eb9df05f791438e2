#include "driver/program.hpp"

#include <cstdio>
#include <string>

#include "driver/case.hpp"
#include "driver/picture_file.hpp"
#include "entry/help.hpp"
#include "entry/parameter_dialog.hpp"
#include "entry/validate.hpp"
#include "interaction/color_cycling.hpp"
#include "interaction/state_menu.hpp"
#include "interaction/zoom_box.hpp"
#include "platform/dialog.hpp"
#include "platform/runtime.hpp"

namespace zeno {

namespace {

// The frame's fourth menu, State.
constexpr int32_t state_menu = 4;

// What dlg_modal returns for a dismissal without a button.
constexpr int dialog_dismissed = 2;

bool is_closing_control(int result) {
  return result == ctl::ok || result == dialog_dismissed || result == ctl::exit || result == ctl::help;
}

// Reports a file error where the user sees it. The runtime may already be
// shutting down; stderr still gets the report then.
void report_file_error(const FileError& error) {
  std::fprintf(stderr, "zenoplot: %s\n", error.what());
  try {
    gw_write_line(std::string(" **** FILE ERROR - ") + error.what());
  } catch (const ProgramShutdown&) {
  }
}

// Closes the run log and the picture file on the way out; a failure there is
// reported and makes the end a failure.
bool close_files_at_end(Session& session) {
  try {
    close_program_files(session);
    return true;
  } catch (const FileError& error) {
    report_file_error(error);
    return false;
  }
}

}  // namespace

void start_up(Session& session) {
  gw_set_about_text(about_text);

  WindowConfig& config = session.loop.window_config;
  config.x_pixels = 640;
  config.y_pixels = 480;
  config.text_columns = -1;
  config.text_rows = -1;
  config.colors = 16;
  config.font_size = -1;
  config.title = std::string(help_window_title);
  // On refusal the runtime has rewritten the record to what it can provide.
  if (!gw_configure_window(config)) gw_configure_window(config);

  install_state_menu(session, state_menu);

  CaseParameters& params = session.params;
  params.sixteen_colors = false;
  params.resolution_code = 2;
  params.algorithm_code = {'E', ' '};
  params.angle = 0;
  session.loop.recheck = false;
  params.border_width = 0.15f;

  session.on_mouse = mouse_routine(session.interaction);
}

void write_fatal_error_line(std::string_view status) {
  gw_write_line(std::string(" ") + " **** FATAL ERROR - " + blank_padded(status, dialog_status_length));
}

CaseEnd run_case(Session& session) {
  CaseParameters& params = session.params;
  CaseLoopState& loop = session.loop;

  // What the dialog is told about the previous picture; a re-check wins.
  loop.prior_picture_field = std::string(12, ' ');
  if (loop.picture_complete) loop.prior_picture_field = blank_padded(session.picture.picture_name, 12);
  if (loop.recheck) loop.prior_picture_field = blank_padded("0", 12);

  fill_parameter_dialog(session.parameter_dialog, params.resolution_code, params.sixteen_colors,
                        params.algorithm_code, params.angle, params.border_width, params.center_x,
                        params.center_y, params.magnification, loop.prior_picture_field, loop.dialog_status);
  if (trimmed(loop.dialog_status) != "OK") {
    write_fatal_error_line(loop.dialog_status);
    return CaseEnd::fatal_error;
  }

  loop.dialog_result = dlg_modal(session.parameter_dialog);
  const int result = loop.dialog_result;

  // The completed picture waiting for the user's decision.
  if (loop.picture_complete && result != dialog_dismissed) {
    int keep = 1;  // the box starts checked; an unreadable box keeps the file
    dlg_get(session.parameter_dialog, ctl::message, keep, DlgSelector::state);
    close_picture_file(session.picture, keep != 0);
    loop.picture_complete = false;
  }

  if (result == ctl::exit) return CaseEnd::exit;
  if (result != dialog_dismissed) validate_parameters(session);
  if (result == ctl::help) {
    Point scratch;
    show_help(scratch);
  }
  if (loop.recheck || result != ctl::ok)
    return is_closing_control(result) ? CaseEnd::next_case : CaseEnd::dialog_failed;

  // One picture: file, view, run log, window, rows.
  compute_picture(session);
  if (loop.picture_complete) cycle_colors(session);
  zoom_box(session);

  // End of case. A completed picture's file stays open for the next dialog.
  if (!loop.picture_complete) close_picture_file(session.picture, false);
  gw_close_window(picture_unit);
  gw_set_write_mode(write_copy);
  return CaseEnd::next_case;
}

int run_program(Session& session) {
  try {
    start_up(session);
    CaseEnd end = CaseEnd::next_case;
    int failures_in_a_row = 0;
    while (end == CaseEnd::next_case || end == CaseEnd::dialog_failed) {
      end = run_case(session);
      failures_in_a_row = end == CaseEnd::dialog_failed ? failures_in_a_row + 1 : 0;
      if (failures_in_a_row == dialog_failure_limit) {
        // The dialog would only fail again at once.
        session.loop.dialog_status = blank_padded(status_show_failed, dialog_status_length);
        write_fatal_error_line(session.loop.dialog_status);
        end = CaseEnd::fatal_error;
      }
    }
    const bool closed = close_files_at_end(session);
    return end == CaseEnd::exit && closed ? exit_success : exit_failure;
  } catch (const FileError& error) {
    report_file_error(error);
    close_files_at_end(session);
    return exit_failure;
  } catch (...) {
    // ProgramShutdown (the frame window was closed) or anything unforeseen:
    // the files are closed, the exception goes on to the runtime.
    close_files_at_end(session);
    throw;
  }
}

}  // namespace zeno
