#pragma once
// The program's entry routine and its case loop.
//
// One case: parameter dialog -> keep or delete the last picture -> validate ->
// (help) -> compute a picture -> colour cycling -> zoom box -> end of case.
// The zoom box leaves the next centre and magnification in the case
// parameters, and the dialog shows them next.

#include <string_view>

#include "driver/session.hpp"

namespace zeno {

// What run_program returns.
inline constexpr int exit_success = 0;  // the user chose Exit
inline constexpr int exit_failure = 1;  // a fatal dialog error or a file error

inline constexpr std::string_view about_text =
    "Z E N O P L O T\r\r"
    "High-precision rendition of the Mandelbrot set\r\r"
    "Beta: 01 June, 1996\r"
    "Comments to: zenoplot-dev@zenoplot.org";

// The default window's title (the window the help page draws into).
inline constexpr std::string_view help_window_title = "ZenoPlot HELP";

// After this many failures of the dialog in a row the program stops instead
// of showing it again and again.
inline constexpr int dialog_failure_limit = 3;
inline constexpr std::string_view status_show_failed = "Failed to show dialog box";

// How one pass of the case loop ended.
enum class CaseEnd {
  next_case,      // back to the dialog
  dialog_failed,  // the dialog could not be shown (back to the dialog)
  exit,           // the user chose Exit
  fatal_error,    // the fatal-error line has been written
};

// Start-up: About text, the default window, the State menu, the defaults of
// the case parameters and the mouse routine of the picture window.
void start_up(Session& session);

// One pass of the case loop, from the dialog to the end of the case.
// Throws FileError when a picture file or the run log cannot be written.
CaseEnd run_case(Session& session);

// Writes " **** FATAL ERROR - " and the 128-character status to the default
// window, preceded by one blank.
void write_fatal_error_line(std::string_view status);

// The entry routine: start-up, then the case loop until Exit. However it
// ends, the run log is closed and a picture file still open is kept when its
// picture was completed and deleted otherwise. Returns exit_success after
// Exit and exit_failure after a fatal dialog error or a file error (reported
// in the default window and on stderr). ProgramShutdown from the runtime,
// like any other exception, is passed on after the files are closed.
int run_program(Session& session);

}  // namespace zeno
