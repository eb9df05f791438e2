#pragma once
// The run log ZENOPLOT.TXT and the picture window's title.
//
// Every picture appends three lines when it starts; a completed picture adds
// its iteration total and time and an empty line, and closes the log. A
// stopped picture leaves the log open, and the next picture's lines follow.
// Lines end in CR LF.

#include <cstdint>
#include <string>

#include "driver/records.hpp"

namespace zeno {

inline constexpr const char* run_log_name = "ZENOPLOT.TXT";

struct RunLog {
  int fd = -1;       // open for appending, or -1
  std::string path;  // absolute path of the log last opened
};

// Opens ZENOPLOT.TXT in the current directory for appending (created when
// missing). A log still open is left open. Throws FileError.
void open_run_log(RunLog& log);
// The case's three lines (the centre as derive_view left it). Throws FileError.
void write_case_lines(RunLog& log, const std::string& picture_name, const CaseParameters& params,
                      const ViewSetup& view);
// The iteration total and elapsed time, an empty line, then closes the log. Throws FileError.
void write_timing_line(RunLog& log, int64_t iteration_total, int32_t hours, int32_t minutes, float seconds);
// Closes the log if it is open. Throws FileError when closing fails.
void close_run_log(RunLog& log);

// The lines themselves, each with its CR LF.
std::string case_lines(const std::string& picture_name, const CaseParameters& params, const ViewSetup& view);
std::string timing_lines(int64_t iteration_total, int32_t hours, int32_t minutes, float seconds);

// "Mandelbrot Set at (...), x ..." with trailing blanks removed.
std::string picture_window_title(const CaseParameters& params);

}  // namespace zeno
