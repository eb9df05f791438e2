#pragma once
// The run log ZENOPLOT.TXT and the picture window's title.

#include <cstdint>
#include <cstdio>
#include <string>

#include "driver/records.hpp"

namespace zeno {

struct RunLog {
  std::FILE* file = nullptr;  // open for appending, or nullptr
};

void open_run_log(RunLog& log);
void write_case_lines(RunLog& log, const std::string& picture_name, const CaseParameters& params,
                      const ViewSetup& view);
void write_timing_line(RunLog& log, int64_t iteration_total, int32_t hours, int32_t minutes, float seconds);
void close_run_log(RunLog& log);

// "Mandelbrot Set at (...), x ..." with trailing blanks removed.
std::string picture_window_title(const CaseParameters& params);

}  // namespace zeno
