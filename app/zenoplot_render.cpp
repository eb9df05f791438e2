// zenoplot-render: one picture without a window.
//
// Reads the case from the command line, refuses anything out of bounds
// (exit status 2, nothing created), then runs the same one-case sequence as
// the interactive program on the in-memory window runtime: picture name,
// palette, picture file, view, run log, rows. Prints the picture file's path.
// A file that cannot be created or written gives exit status 1 and leaves no
// picture file behind.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "driver/case.hpp"
#include "driver/format.hpp"
#include "driver/limits.hpp"
#include "driver/session.hpp"
#include "engine/fpu.hpp"
#include "platform/headless/headless_runtime.hpp"

namespace {

using namespace zeno;

constexpr const char* program_name = "zenoplot-render";

constexpr int exit_file_error = 1;
constexpr int exit_bad_input = 2;
constexpr int exit_interrupted = 130;

// Bad input: exit status 2 with this one line.
struct Refusal {
  std::string line;
};

Refusal refuse(const std::string& option, const std::string& value, const std::string& allowed) {
  return Refusal{option + " " + value + ": " + allowed};
}

std::string shortest(double v) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", v);
  for (int precision = 1; precision <= 17; ++precision) {
    char candidate[40];
    std::snprintf(candidate, sizeof candidate, "%.*g", precision, v);
    if (std::strtod(candidate, nullptr) == v) return candidate;
  }
  return text;
}

std::string shortest(float v) {
  for (int precision = 1; precision <= 9; ++precision) {
    char candidate[40];
    std::snprintf(candidate, sizeof candidate, "%.*g", precision, static_cast<double>(v));
    if (std::strtof(candidate, nullptr) == v) return candidate;
  }
  return std::to_string(v);
}

// What the command line gave, as text; numbers are read by the program's own reader.
struct CommandLine {
  std::string directory = ".";
  std::string size = "800x600";
  std::string colors = "236";
  std::string algorithm = "escape";
  std::string angle = "0";
  bool border = false;
  std::string border_width;
  std::string center_x;
  std::string center_y;
  std::string magnification;
  std::string threads = "0";
  bool quiet = false;
};

// Lets "--center-x -.5" work: a value that starts with a minus sign would
// otherwise be taken for an option.
std::vector<std::string> joined_negative_values(int argc, char** argv) {
  static const char* const numeric[] = {"--center-x", "--center-y", "--magnification",
                                        "--border-width", "--angle", "--threads"};
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    bool takes_number = false;
    for (const char* name : numeric) takes_number = takes_number || arg == name;
    if (takes_number && i + 1 < argc) {
      const std::string next = argv[i + 1];
      if (next.size() > 1 && next[0] == '-' && (std::isdigit(static_cast<unsigned char>(next[1])) || next[1] == '.')) {
        args.push_back(arg + "=" + next);
        ++i;
        continue;
      }
    }
    args.push_back(std::move(arg));
  }
  return args;
}

// Validates the command line into the case; nothing is created here.
void set_case(const CommandLine& cl, const CLI::App& app, CaseParameters& p, int32_t& threads) {
  struct stat st;
  if (cl.directory.empty() || ::stat(cl.directory.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    throw refuse("--directory", cl.directory, "allowed: an existing directory");

  bool size_found = false;
  for (const Resolution& r : resolutions) {
    if (cl.size == std::to_string(r.width) + "x" + std::to_string(r.height)) {
      p.resolution_code = r.code;
      p.width = r.width;
      p.height = r.height;
      p.screen_mode_code[0] = r.letter;
      size_found = true;
    }
  }
  if (!size_found) throw refuse("--size", cl.size, "allowed: 640x480, 800x600, 1024x768 or 1280x1024");

  if (cl.colors == "16") {
    p.sixteen_colors = true;
    p.last_color_index = 15;
  } else if (cl.colors == "236") {
    p.sixteen_colors = false;
    p.last_color_index = 235;
  } else {
    throw refuse("--colors", cl.colors, "allowed: 16 or 236");
  }
  p.max_magnification = max_magnification_for_width(p.width);

  if (app.count("--center-x") > 0) {
    double v = 0.0;
    if (!read_double(cl.center_x, v) || !(v >= center_x_min && v <= center_x_max))
      throw refuse("--center-x", cl.center_x,
                   "allowed: a number from " + shortest(center_x_min) + " to " + shortest(center_x_max));
    p.center_x = v;
  }
  if (app.count("--center-y") > 0) {
    double v = 0.0;
    if (!read_double(cl.center_y, v) || !(v >= center_y_min && v <= center_y_max))
      throw refuse("--center-y", cl.center_y,
                   "allowed: a number from " + shortest(center_y_min) + " to " + shortest(center_y_max));
    p.center_y = v;
  }
  if (app.count("--magnification") > 0) {
    float v = 0.0f;
    if (!read_float(cl.magnification, v) || !(v >= magnification_min && v <= p.max_magnification))
      throw refuse("--magnification", cl.magnification,
                   "allowed: a number from " + shortest(magnification_min) + " to " + shortest(p.max_magnification) +
                       " at " + cl.size);
    p.magnification = v;
  }
  if (app.count("--border-width") > 0) {
    float v = 0.0f;
    if (!read_float(cl.border_width, v) || !(v <= border_width_max))
      throw refuse("--border-width", cl.border_width, "allowed: a number of at most " + shortest(border_width_max));
    p.border_width = v;
  }

  int32_t angle = 0;
  if (!read_int32(cl.angle, angle)) throw refuse("--angle", cl.angle, "allowed: a whole number of degrees");
  if (cl.algorithm == "escape") {
    p.algorithm_code = {'E', ' '};
    p.angle = 0;
  } else if (cl.algorithm == "integer") {
    p.algorithm_code = {'I', ' '};
    p.angle = -1;
  } else if (cl.algorithm == "azimuthal") {
    p.algorithm_code = {'A', ' '};
    angle %= 360;
    while (angle <= 0) angle += 360;
    p.angle = angle;
  } else {
    throw refuse("--algorithm", cl.algorithm, "allowed: escape, integer or azimuthal");
  }
  p.border_enabled = cl.border;
  if (p.border_enabled) p.algorithm_code[1] = 'B';

  if (!read_int32(cl.threads, threads) || threads < 0)
    throw refuse("--threads", cl.threads, "allowed: 0 (every hardware thread) or more");
}

// --- interruption ---

// Set by SIGINT or SIGTERM; the render loop is asked to stop after its row.
std::atomic<bool> interrupted{false};

extern "C" void on_interrupt(int) { interrupted.store(true); }

void catch_interrupts() {
  struct sigaction action {};
  action.sa_handler = on_interrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

// --- progress on a terminal ---

std::string clock_text(double seconds) {
  const long s = static_cast<long>(seconds + 0.5);
  char text[32];
  if (s >= 3600)
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  else
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
  return text;
}

class ProgressBar {
 public:
  ProgressBar() : start_(std::chrono::steady_clock::now()), last_(start_) {}

  void update(int rows_done, int rows_total) {
    const auto now = std::chrono::steady_clock::now();
    if (rows_done < rows_total && now - last_ < std::chrono::milliseconds(100)) return;
    last_ = now;
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    const double fraction = rows_total > 0 ? static_cast<double>(rows_done) / rows_total : 1.0;
    const int filled = static_cast<int>(fraction * bar_width);
    const std::string rest = rows_done > 0 ? clock_text(elapsed * (rows_total - rows_done) / rows_done) : "?";
    std::fprintf(stderr, "\r[%s%s] %d/%d rows %3d%%  elapsed %s  left %s  ", std::string(filled, '#').c_str(),
                 std::string(bar_width - filled, '.').c_str(), rows_done, rows_total,
                 static_cast<int>(fraction * 100.0), clock_text(elapsed).c_str(), rest.c_str());
    if (rows_done == rows_total) std::fputc('\n', stderr);
    std::fflush(stderr);
  }

 private:
  static constexpr int bar_width = 30;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_;
};

// Leaves no picture file of an unsuccessful run behind; never truncates the run log.
void discard_files(Session& s, bool picture_created) {
  s.loop.picture_complete = false;
  try {
    close_program_files(s);
  } catch (const FileError&) {
  }
  if (picture_created) ::unlink(s.picture.path.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  ensure_extended_precision();

  CLI::App app{"Renders one picture of the Mandelbrot set without a window: writes the first free\n"
               "ZENOPICc.BMP in the directory, appends the case to ZENOPLOT.TXT there, and prints\n"
               "the picture file's path.",
               program_name};
  CommandLine cl;
  app.add_option("--directory", cl.directory, "Output directory (must exist; default: the current one)")->type_name("DIR");
  app.add_option("--size", cl.size, "Picture size: 640x480, 800x600 (default), 1024x768 or 1280x1024")->type_name("WxH");
  app.add_option("--colors", cl.colors, "Colours: 16 or 236 (default)")->type_name("N");
  app.add_option("--algorithm", cl.algorithm, "Colouring: escape (default), integer or azimuthal")->type_name("NAME");
  app.add_option("--angle", cl.angle, "Azimuthal start angle in degrees, brought into 1..360 (default 360)")->type_name("N");
  app.add_flag("--border", cl.border, "Mark the boundary of the set");
  app.add_option("--border-width", cl.border_width, "Border width in pixels, at most 1.5 (default 0.15)")->type_name("W");
  app.add_option("--center-x", cl.center_x, "Real part of the centre, -2 to 0.75 (default -0.7454298994)")->type_name("X");
  app.add_option("--center-y", cl.center_y, "Imaginary part of the centre, -1.5 to 1.5 (default 0.11300779474)")->type_name("Y");
  app.add_option("--magnification", cl.magnification,
                 "Magnification, 0.125 up to 11258999068427828 / width (default 0.9)")->type_name("M");
  app.add_option("--threads", cl.threads, "Pixel workers; 0: one per hardware thread (default)")->type_name("N");
  app.add_flag("--quiet", cl.quiet, "No progress bar");

  auto session = std::make_unique<Session>();
  Session& s = *session;
  try {
    std::vector<std::string> args = joined_negative_values(argc, argv);
    std::reverse(args.begin(), args.end());  // CLI11 takes them last first
    app.parse(args);
    set_case(cl, app, s.params, s.threads);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::fprintf(stderr, "%s: %s (see --help)\n", program_name, e.what());
    return exit_bad_input;
  } catch (const Refusal& r) {
    std::fprintf(stderr, "%s: %s\n", program_name, r.line.c_str());
    return exit_bad_input;
  }
  if (::chdir(cl.directory.c_str()) != 0) {
    std::fprintf(stderr, "%s: --directory %s: %s\n", program_name, cl.directory.c_str(), std::strerror(errno));
    return exit_bad_input;
  }

  HeadlessRuntime runtime;
  install_runtime(&runtime);
  catch_interrupts();
  ProgressBar progress;
  const bool show_progress = !cl.quiet && ::isatty(STDERR_FILENO);
  s.on_row_done = [&](int done, int total) {
    if (interrupted.load()) s.interaction.stop_requested.store(true);
    if (show_progress) progress.update(done, total);
  };

  bool picture_created = false;
  try {
    compute_picture(s);
    picture_created = true;
    if (!s.loop.picture_complete) {
      discard_files(s, picture_created);
      std::fprintf(stderr, "%s: interrupted; no picture kept\n", program_name);
      return exit_interrupted;
    }
    close_program_files(s);
  } catch (const FileError& e) {
    picture_created = picture_created || s.picture.fd >= 0;
    discard_files(s, picture_created);
    std::fprintf(stderr, "%s: %s\n", program_name, e.what());
    return exit_file_error;
  } catch (const std::exception& e) {
    discard_files(s, picture_created || s.picture.fd >= 0);
    std::fprintf(stderr, "%s: %s\n", program_name, e.what());
    return exit_file_error;
  }
  std::printf("%s\n", s.picture.path.c_str());
  return 0;
}
