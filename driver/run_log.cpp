#include "driver/run_log.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "driver/format.hpp"
#include "driver/picture_file.hpp"

namespace zeno {

namespace {

constexpr std::string_view line_end = "\r\n";
constexpr std::size_t title_buffer_length = 128;

void append(RunLog& log, const std::string& text) {
  if (log.fd < 0) throw FileError(log.path + ": the run log is not open");
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(log.fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw file_error(log.path, "cannot write the run log", n < 0 ? errno : EIO);
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace

void open_run_log(RunLog& log) {
  if (log.fd >= 0) return;
  log.path = path_in_current_directory(run_log_name);
  const int fd = ::open(run_log_name, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) throw file_error(log.path, "cannot open the run log", errno);
  log.fd = fd;
}

std::string case_lines(const std::string& picture_name, const CaseParameters& params, const ViewSetup& view) {
  std::string text;
  text += " Output file is ";
  text += blank_padded(picture_name, 12);
  text += ".  Screen mode is ";
  text.append(params.screen_mode_code.data(), 2);
  text += ", algorithm ";
  text.append(params.algorithm_code.data(), 2);
  text += line_end;

  text += " Center:";
  text += fixed_layout(params.center_x, 17, 13);
  text += fixed_layout(params.center_y, 17, 13);
  text += line_end;

  text += " Magnification ";
  text += general_layout(params.magnification, 14, 5, GeneralStyle::run_log);
  text += ",   Maximum Iterations per point";
  text += integer_layout(view.iteration_limit, 6);
  text += line_end;
  return text;
}

std::string timing_lines(int64_t iteration_total, int32_t hours, int32_t minutes, float seconds) {
  std::string text;
  text += " Total iterations =";
  text += integer_layout(iteration_total, 11);
  text += ",   Execution time";
  text += integer_layout(hours, 4);
  text += ":";
  text += integer_layout(minutes, 2);
  text += ":";
  text += fixed_layout(seconds, 4, 1);
  text += line_end;
  text += line_end;
  return text;
}

void write_case_lines(RunLog& log, const std::string& picture_name, const CaseParameters& params,
                      const ViewSetup& view) {
  append(log, case_lines(picture_name, params, view));
}

void write_timing_line(RunLog& log, int64_t iteration_total, int32_t hours, int32_t minutes, float seconds) {
  append(log, timing_lines(iteration_total, hours, minutes, seconds));
  close_run_log(log);
}

void close_run_log(RunLog& log) {
  if (log.fd < 0) return;
  const int closed = ::close(log.fd);
  const int err = errno;
  log.fd = -1;
  if (closed != 0 && err != EINTR) throw file_error(log.path, "cannot close the run log", err);
}

std::string picture_window_title(const CaseParameters& params) {
  std::string title = "Mandelbrot Set at (";
  title += fixed_layout(params.center_x, 15, 12);
  title += ",";
  title += fixed_layout(params.center_y, 15, 12);
  title += "), x";
  title += general_layout(params.magnification, 11, 3, GeneralStyle::title);
  if (title.size() > title_buffer_length) title.resize(title_buffer_length);
  return std::string(trimmed(title));
}

}  // namespace zeno
