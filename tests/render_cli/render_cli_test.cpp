// The batch renderer as a user runs it: a separate process in a scratch
// directory, checked by its exit status, its output and the files it leaves.

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "../driver/test_support.hpp"
#include "driver/case.hpp"
#include "driver/limits.hpp"
#include "platform/headless/headless_runtime.hpp"

namespace zeno {
namespace {

namespace fs = std::filesystem;
using test::Bmp;
using test::TempDir;

struct RunResult {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;
};

struct RunOptions {
  rlim_t file_size_limit = RLIM_INFINITY;
};

// Starts the renderer in `cwd`; standard output and error go to files in `io`.
pid_t start(const std::vector<std::string>& args, const fs::path& cwd, const fs::path& io, RunOptions options = {}) {
  const std::string out = (io / "stdout").string(), err = (io / "stderr").string();
  std::vector<std::string> argv_text{ZENO_RENDER_EXE};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(cwd.c_str()) != 0) ::_exit(120);
    const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (o < 0 || e < 0) ::_exit(121);
    ::dup2(o, 1);
    ::dup2(e, 2);
    if (options.file_size_limit != RLIM_INFINITY) {
      ::signal(SIGXFSZ, SIG_IGN);  // a write beyond the limit fails with EFBIG instead
      rlimit limit{options.file_size_limit, options.file_size_limit};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ::execv(argv[0], argv.data());
    ::_exit(122);
  }
  return pid;
}

RunResult finish(pid_t pid, const fs::path& io) {
  int wstatus = 0;
  ::waitpid(pid, &wstatus, 0);
  RunResult r;
  r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  r.out = test::read_text(io / "stdout");
  r.err = test::read_text(io / "stderr");
  return r;
}

RunResult run(const std::vector<std::string>& args, const fs::path& cwd, RunOptions options = {}) {
  TempDir io;
  return finish(start(args, cwd, io.path(), options), io.path());
}

std::vector<std::string> log_lines(const TempDir& dir) { return test::crlf_lines(test::read_text(dir / "ZENOPLOT.TXT")); }

// What the interactive program's one-case sequence writes for the same case.
struct Reference {
  std::vector<uint8_t> picture;
  std::vector<std::string> case_lines;
};

Reference interactive_picture(const std::function<void(CaseParameters&)>& set) {
  TempDir dir;
  test::CurrentDirectory cd(dir.path());
  HeadlessRuntime runtime;
  install_runtime(&runtime);
  auto s = std::make_unique<Session>();
  set(s->params);
  s->params.max_magnification = max_magnification_for_width(s->params.width);
  compute_picture(*s);
  EXPECT_TRUE(s->loop.picture_complete);
  close_program_files(*s);
  Reference ref;
  ref.picture = test::read_bytes(dir / "ZENOPIC0.BMP");
  const auto lines = log_lines(dir);
  ref.case_lines.assign(lines.begin(), lines.begin() + 3);
  return ref;
}

TEST(RenderCli, DefaultRun) {
  TempDir dir;
  const RunResult r = run({}, dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, (dir / "ZENOPIC0.BMP").string() + "\n");
  EXPECT_EQ(r.err, "");  // no progress bar when standard error is not a terminal
  EXPECT_EQ(dir.names(), (std::set<std::string>{"ZENOPIC0.BMP", "ZENOPLOT.TXT"}));

  const std::string log = test::read_text(dir / "ZENOPLOT.TXT");
  const auto lines = test::crlf_lines(log);
  ASSERT_EQ(lines.size(), 5u) << log;
  EXPECT_EQ(lines[0], " Output file is ZENOPIC0.BMP.  Screen mode is S2, algorithm E ");
  EXPECT_EQ(lines[1], " Center:  -.7454298994000   .1145833363688");
  EXPECT_EQ(lines[2], " Magnification     .90000    ,   Maximum Iterations per point   271");
  EXPECT_TRUE(test::is_timing_line(lines[3])) << lines[3];
  EXPECT_EQ(lines[4], "");
  EXPECT_EQ(log.substr(log.size() - 4), "\r\n\r\n");

  const Bmp bmp = Bmp::load(dir / "ZENOPIC0.BMP");
  EXPECT_EQ(bmp.bytes.size(), 481600u);
  EXPECT_EQ(bmp.width, 800);
  EXPECT_EQ(bmp.height, 600);
  EXPECT_EQ(bmp.bits, 8);
  EXPECT_EQ(bmp.compression, 0u);
  ASSERT_EQ(bmp.palette.size(), 236u);
  Palette palette;
  build_palette(false, palette);
  for (std::size_t i = 0; i < 236; ++i) EXPECT_EQ(bmp.palette[i], palette.entries[i]) << i;
  EXPECT_EQ(bmp.palette[0], 0x000000u);    // black for the set
  EXPECT_EQ(bmp.palette[235], 0xFFFFFFu);  // white for the program's own drawing
  // (-0.1, 0) is inside the main cardioid: column 400 + 186, the real-axis row 300 + 33.
  EXPECT_EQ(bmp.index(586, 333), 0);
  // The corners are far outside the set.
  for (auto [c, r] : {std::pair{0, 0}, {799, 0}, {0, 599}, {799, 599}}) {
    EXPECT_GT(bmp.index(c, r), 0);
    EXPECT_LT(bmp.index(c, r), 235);
  }

  const Reference ref = interactive_picture([](CaseParameters&) {});
  EXPECT_EQ(bmp.bytes, ref.picture);
}

TEST(RenderCli, SecondRunTakesTheNextNameAndAppends) {
  TempDir dir;
  const std::vector<std::string> args{"--size", "640x480", "--colors", "16", "--magnification", "0.5"};
  ASSERT_EQ(run(args, dir.path()).status, 0);
  const std::string first_log = test::read_text(dir / "ZENOPLOT.TXT");
  const RunResult second = run(args, dir.path());
  ASSERT_EQ(second.status, 0) << second.err;
  EXPECT_EQ(second.out, (dir / "ZENOPIC1.BMP").string() + "\n");
  const std::string log = test::read_text(dir / "ZENOPLOT.TXT");
  EXPECT_EQ(log.substr(0, first_log.size()), first_log);
  const auto lines = test::crlf_lines(log);
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(lines[5], " Output file is ZENOPIC1.BMP.  Screen mode is V1, algorithm E ");
  EXPECT_TRUE(test::is_timing_line(lines[8])) << lines[8];
  EXPECT_EQ(test::read_bytes(dir / "ZENOPIC0.BMP"), test::read_bytes(dir / "ZENOPIC1.BMP"));
}

// The batch renderer writes what the interactive program writes for the same case.
struct SameCase {
  std::string name;
  std::vector<std::string> args;
  std::function<void(CaseParameters&)> set;
};

inline void PrintTo(const SameCase& t, std::ostream* os) { *os << t.name; }

void small(CaseParameters& p) {
  p.resolution_code = 1;
  p.width = 640;
  p.height = 480;
  p.screen_mode_code = {'V', '2'};
  p.sixteen_colors = true;
  p.last_color_index = 15;
}

class SameAsInteractive : public ::testing::TestWithParam<SameCase> {};

TEST_P(SameAsInteractive, PictureAndCaseLines) {
  TempDir dir;
  std::vector<std::string> args{"--size", "640x480", "--colors", "16"};
  args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
  const RunResult r = run(args, dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  const Reference ref = interactive_picture([&](CaseParameters& p) {
    small(p);
    GetParam().set(p);
  });
  EXPECT_EQ(test::read_bytes(dir / "ZENOPIC0.BMP"), ref.picture);
  const auto lines = log_lines(dir);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 3), ref.case_lines);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SameAsInteractive,
    ::testing::Values(
        SameCase{"negative_values_as_separate_arguments",
                 {"--center-x", "-1.25", "--center-y", "-.25", "--magnification", "3"},
                 [](CaseParameters& p) {
                   p.center_x = -1.25;
                   p.center_y = -0.25;
                   p.magnification = 3.0f;
                 }},
        SameCase{"values_after_equals_signs",
                 {"--center-x=-1.25", "--center-y=-.25", "--magnification=3"},
                 [](CaseParameters& p) {
                   p.center_x = -1.25;
                   p.center_y = -0.25;
                   p.magnification = 3.0f;
                 }},
        SameCase{"bounds_are_inclusive",
                 {"--center-x", "0.75", "--center-y", "-1.5", "--magnification", "0.125", "--border", "--border-width",
                  "-0.5"},
                 [](CaseParameters& p) {
                   p.center_x = 0.75;
                   p.center_y = -1.5;
                   p.magnification = 0.125f;
                   p.border_enabled = true;
                   p.border_width = -0.5f;
                   p.algorithm_code = {'E', 'B'};
                 }},
        SameCase{"azimuthal_angle_brought_into_range",
                 {"--algorithm", "azimuthal", "--angle", "-90", "--magnification", "0.7"},
                 [](CaseParameters& p) {
                   p.algorithm_code = {'A', ' '};
                   p.angle = 270;
                   p.magnification = 0.7f;
                 }},
        SameCase{"azimuthal_multiple_of_360_with_border",
                 {"--algorithm", "azimuthal", "--angle", "-720", "--border", "--magnification", "0.7"},
                 [](CaseParameters& p) {
                   p.algorithm_code = {'A', 'B'};
                   p.angle = 360;
                   p.border_enabled = true;
                   p.magnification = 0.7f;
                 }},
        SameCase{"integer_with_border_width",
                 {"--algorithm", "integer", "--border", "--border-width", "1.5", "--center-x", "-0.7454",
                  "--center-y", "0.113", "--magnification", "40"},
                 [](CaseParameters& p) {
                   p.algorithm_code = {'I', 'B'};
                   p.angle = -1;
                   p.border_enabled = true;
                   p.border_width = 1.5f;
                   p.center_x = -0.7454;
                   p.center_y = 0.113;
                   p.magnification = 40.0f;
                 }},
        SameCase{"single_precision_magnification", {"--magnification", "1.1"},
                 [](CaseParameters& p) { p.magnification = 1.1f; }}),
    [](const auto& info) { return info.param.name; });

TEST(RenderCli, EightBitSmallPicture) {
  TempDir dir;
  const RunResult r = run({"--size", "1024x768", "--colors", "16", "--magnification", "0.25", "--quiet"}, dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  const Bmp bmp = Bmp::load(dir / "ZENOPIC0.BMP");
  EXPECT_EQ(bmp.bytes.size(), 393728u);
  EXPECT_EQ(bmp.bits, 4);
  EXPECT_EQ(bmp.palette.size(), 16u);
  EXPECT_EQ(log_lines(dir)[0], " Output file is ZENOPIC0.BMP.  Screen mode is X1, algorithm E ");
}

// Refused input: status 2, one line naming the option and the value, nothing created.
struct BadInput {
  std::string name;
  std::vector<std::string> args;
  std::string mentioned;  // must appear in the message
};

inline void PrintTo(const BadInput& t, std::ostream* os) { *os << t.name; }

class RefusedInput : public ::testing::TestWithParam<BadInput> {};

TEST_P(RefusedInput, ExitsWithStatus2AndCreatesNothing) {
  TempDir dir;
  const RunResult r = run(GetParam().args, dir.path());
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find(GetParam().mentioned), std::string::npos) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  EXPECT_TRUE(dir.names().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedInput,
    ::testing::Values(
        BadInput{"unknown_option", {"--frobnicate"}, "--frobnicate"},
        BadInput{"stray_argument", {"picture"}, "picture"},
        BadInput{"size_not_listed", {"--size", "640x400"}, "--size 640x400"},
        BadInput{"size_words", {"--size", "large"}, "--size large"},
        BadInput{"colors_not_listed", {"--colors", "256"}, "--colors 256"},
        BadInput{"algorithm_unknown", {"--algorithm", "fancy"}, "--algorithm fancy"},
        BadInput{"center_x_above", {"--center-x", "0.7500001"}, "--center-x 0.7500001"},
        BadInput{"center_x_below", {"--center-x", "-2.0000001"}, "--center-x -2.0000001"},
        BadInput{"center_y_above", {"--center-y=1.6"}, "--center-y 1.6"},
        BadInput{"center_y_below", {"--center-y", "-1.5000001"}, "--center-y -1.5000001"},
        BadInput{"center_not_a_number", {"--center-y", "abc"}, "--center-y abc"},
        BadInput{"center_with_trailing_text", {"--center-x", "-0.5x"}, "--center-x -0.5x"},
        BadInput{"center_empty", {"--center-x="}, "--center-x"},
        BadInput{"magnification_zero", {"--magnification", "0"}, "--magnification 0"},
        BadInput{"magnification_below", {"--magnification", "0.1"}, "--magnification 0.1"},
        BadInput{"magnification_negative", {"--magnification", "-3"}, "--magnification -3"},
        BadInput{"magnification_above_ceiling", {"--magnification", "2e13"}, "--magnification 2e13"},
        // The 7-digit text of the 640 ceiling reads back above it.
        BadInput{"magnification_ceiling_text_640", {"--size", "640x480", "--magnification", "1.759219E+13"},
                 "--magnification 1.759219E+13"},
        BadInput{"magnification_ceiling_depends_on_size", {"--size", "1280x1024", "--magnification", "1e13"},
                 "--magnification 1e13"},
        BadInput{"border_width_above", {"--border", "--border-width", "1.6"}, "--border-width 1.6"},
        BadInput{"border_width_not_a_number", {"--border-width", "wide"}, "--border-width wide"},
        BadInput{"angle_fraction", {"--algorithm", "azimuthal", "--angle", "1.5"}, "--angle 1.5"},
        BadInput{"threads_negative", {"--threads", "-1"}, "--threads -1"},
        BadInput{"directory_missing", {"--directory", "/nonexistent/zeno"}, "--directory /nonexistent/zeno"},
        BadInput{"directory_is_a_file", {"--directory", "/etc/hostname"}, "--directory /etc/hostname"}),
    [](const auto& info) { return info.param.name; });

TEST(RenderCli, Help) {
  TempDir dir;
  const RunResult r = run({"--help"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("--center-x"), std::string::npos);
  EXPECT_TRUE(dir.names().empty());
}

TEST(RenderCli, DirectoryOption) {
  TempDir dir, elsewhere;
  const RunResult r = run({"--directory", dir.path().string(), "--size", "640x480", "--magnification", "0.5"},
                    elsewhere.path());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, (dir / "ZENOPIC0.BMP").string() + "\n");
  EXPECT_EQ(dir.names(), (std::set<std::string>{"ZENOPIC0.BMP", "ZENOPLOT.TXT"}));
  EXPECT_TRUE(elsewhere.names().empty());
}

// --- files that cannot be written: status 1, the path and the reason, no picture left ---

TEST(RenderCliFiles, RunLogCannotBeOpened) {
  TempDir dir;
  fs::create_directory(dir / "ZENOPLOT.TXT");
  const RunResult r = run({"--size", "640x480"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find((dir / "ZENOPLOT.TXT").string()), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Is a directory"), std::string::npos) << r.err;
  EXPECT_EQ(dir.names(), std::set<std::string>{"ZENOPLOT.TXT"});
}

TEST(RenderCliFiles, PictureCannotBeCreated) {
  TempDir dir;
  for (char c : std::string("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"))
    test::write_text(dir / (std::string("ZENOPIC") + c + ".BMP"), "kept");
  fs::create_directory(dir / "ZENOPIC_.BMP");
  const RunResult r = run({"--size", "640x480"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find((dir / "ZENOPIC_.BMP").string()), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir / "ZENOPLOT.TXT"));
  EXPECT_EQ(test::read_text(dir / "ZENOPIC0.BMP"), "kept");
}

TEST(RenderCliFiles, DirectoryWithoutFiles) {
  const RunResult r = run({"--directory", "/proc", "--size", "640x480"}, fs::temp_directory_path());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("/proc/ZENOPIC0.BMP"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists("/proc/ZENOPIC0.BMP"));
}

// The disk fills up halfway through the rows: the picture is deleted, and the
// run log keeps what it had and the case's lines.
TEST(RenderCliFiles, WriteFailsHalfway) {
  TempDir dir;
  test::write_text(dir / "ZENOPLOT.TXT", " earlier\r\n");
  RunOptions limited;
  limited.file_size_limit = 100000;  // the 800 x 600 picture needs 481600 bytes
  const RunResult r = run({}, dir.path(), limited);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find((dir / "ZENOPIC0.BMP").string()), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
  EXPECT_EQ(dir.names(), std::set<std::string>{"ZENOPLOT.TXT"});
  const auto lines = log_lines(dir);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], " earlier");
  EXPECT_EQ(lines[1], " Output file is ZENOPIC0.BMP.  Screen mode is S2, algorithm E ");
}

// An interrupted run stops after its row and leaves no picture.
TEST(RenderCliFiles, InterruptDeletesThePicture) {
  TempDir dir, io;
  // Deep in the boundary at the iteration ceiling: many seconds of work.
  const pid_t pid = start({"--size", "1280x1024", "--magnification", "1e6"}, dir.path(), io.path());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!fs::exists(dir / "ZENOPIC0.BMP") && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ::kill(pid, SIGINT);
  const RunResult r = finish(pid, io.path());
  EXPECT_EQ(r.status, 130) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(dir.names(), std::set<std::string>{"ZENOPLOT.TXT"});
  EXPECT_EQ(log_lines(dir).size(), 3u);
}

}  // namespace
}  // namespace zeno
