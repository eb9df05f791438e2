#include "driver/run_log.hpp"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "driver/limits.hpp"
#include "driver/picture_file.hpp"
#include "driver/view.hpp"
#include "test_support.hpp"

namespace zeno {
namespace {

using test::CurrentDirectory;
using test::TempDir;

// The start-up case at 800 x 600 after derive_view.
struct DefaultCase {
  CaseParameters params;
  ViewSetup view;
  DefaultCase() {
    params.max_magnification = max_magnification_for_width(800);
    derive_view(params, view);
  }
};

TEST(RunLog, DefaultCaseLines) {
  DefaultCase d;
  EXPECT_EQ(case_lines("ZENOPIC0.BMP", d.params, d.view),
            " Output file is ZENOPIC0.BMP.  Screen mode is S2, algorithm E \r\n"
            " Center:  -.7454298994000   .1145833363688\r\n"
            " Magnification     .90000    ,   Maximum Iterations per point   271\r\n");
  EXPECT_EQ(picture_window_title(d.params), "Mandelbrot Set at ( -.745429899400,  .114583336369), x   .900");
}

TEST(RunLog, CodesAreWrittenAsStored) {
  DefaultCase d;
  d.params.screen_mode_code = {'V', '1'};
  d.params.algorithm_code = {'A', 'B'};
  const std::string lines = case_lines("ZENOPIC_.BMP", d.params, d.view);
  EXPECT_EQ(lines.substr(0, lines.find("\r\n")), " Output file is ZENOPIC_.BMP.  Screen mode is V1, algorithm AB");
}

struct MagnificationCase {
  float magnification;
  std::string log_field;    // General(14, 5)
  std::string title_tail;   // after "), x", trailing blanks removed
};

inline void PrintTo(const MagnificationCase& t, std::ostream* os) { *os << t.magnification; }

class MagnificationLayouts : public ::testing::TestWithParam<MagnificationCase> {};

TEST_P(MagnificationLayouts, LogLineAndTitle) {
  const MagnificationCase& t = GetParam();
  DefaultCase d;
  d.params.magnification = t.magnification;
  d.view.iteration_limit = 65534;
  const std::string lines = case_lines("ZENOPIC0.BMP", d.params, d.view);
  const std::string third = test::crlf_lines(lines).at(2);
  EXPECT_EQ(third, " Magnification " + t.log_field + ",   Maximum Iterations per point 65534");
  const std::string title = picture_window_title(d.params);
  EXPECT_EQ(title.substr(title.find("), x") + 4), t.title_tail);
}

INSTANTIATE_TEST_SUITE_P(Examples, MagnificationLayouts,
                         ::testing::Values(MagnificationCase{0.9f, "    .90000    ", "   .900"},
                                           MagnificationCase{123456.7f, "    .12346E+06", "  1.235E+05"},
                                           MagnificationCase{99999.4f, "    99999.    ", "  1.000E+05"},
                                           MagnificationCase{99999.6f, "    .10000E+06", "  1.000E+05"},
                                           MagnificationCase{1000.0f, "    1000.0    ", "  1.000E+03"},
                                           MagnificationCase{999.4f, "    999.40    ", "   999."}));

TEST(RunLog, TimingLines) {
  EXPECT_EQ(timing_lines(35712044, 0, 1, 23.4f),
            " Total iterations =   35712044,   Execution time   0: 1:23.4\r\n\r\n");
  // Totals beyond 32 bits fit the 11 columns.
  EXPECT_EQ(timing_lines(3000000000LL, 12, 34, 0.5f),
            " Total iterations = 3000000000,   Execution time  12:34:  .5\r\n\r\n");
}

TEST(RunLog, TimingLineShapeCheck) {
  EXPECT_TRUE(test::is_timing_line(" Total iterations =   35712044,   Execution time   0: 1:23.4"));
  EXPECT_TRUE(test::is_timing_line(" Total iterations =          0,   Execution time  23:59:  .0"));
  EXPECT_FALSE(test::is_timing_line(" Total iterations =   35712044,   Execution time   0: 1:23.45"));
  EXPECT_FALSE(test::is_timing_line(" Total iterations =   35712044,   Execution time   0:01:23.4x"));
}

// Three stopped pictures and a completed one: four groups of case lines and
// one timing pair, appended after what the log already held.
TEST(RunLog, StoppedPicturesLeaveTheLogOpen) {
  TempDir dir;
  test::write_text(dir / "ZENOPLOT.TXT", "earlier run\r\n");
  CurrentDirectory cd(dir.path());
  DefaultCase d;
  RunLog log;
  const std::string group = case_lines("ZENOPIC0.BMP", d.params, d.view);
  for (int i = 0; i < 4; ++i) {
    open_run_log(log);
    ASSERT_GE(log.fd, 0);
    write_case_lines(log, "ZENOPIC0.BMP", d.params, d.view);
  }
  write_timing_line(log, 6701223, 0, 0, 0.2f);
  EXPECT_EQ(log.fd, -1);
  EXPECT_EQ(log.path, (dir / "ZENOPLOT.TXT").string());
  EXPECT_EQ(test::read_text(dir / "ZENOPLOT.TXT"),
            "earlier run\r\n" + group + group + group + group +
                " Total iterations =    6701223,   Execution time   0: 0:  .2\r\n\r\n");
}

TEST(RunLog, OpenFailureNamesPathAndReason) {
  TempDir dir;
  std::filesystem::create_directory(dir / "ZENOPLOT.TXT");
  CurrentDirectory cd(dir.path());
  RunLog log;
  try {
    open_run_log(log);
    FAIL() << "no error";
  } catch (const FileError& e) {
    const std::string what = e.what();
    EXPECT_NE(what.find((dir / "ZENOPLOT.TXT").string()), std::string::npos) << what;
    EXPECT_NE(what.find("Is a directory"), std::string::npos) << what;
  }
  EXPECT_EQ(log.fd, -1);
}

}  // namespace
}  // namespace zeno
