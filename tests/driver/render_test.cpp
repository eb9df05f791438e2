#include "driver/render.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "driver/case.hpp"
#include "driver/format.hpp"
#include "driver/limits.hpp"
#include "driver/view.hpp"
#include "platform/headless/headless_runtime.hpp"
#include "test_support.hpp"

namespace zeno {
namespace {

using test::Bmp;
using test::CurrentDirectory;
using test::TempDir;

// --- row order ---

TEST(RowOrder, EvenHeightStartsWithTheMiddleAndEndsAtTheEdges) {
  const std::vector<int> order = row_order(480);
  const std::vector<int> head(order.begin(), order.begin() + 6);
  EXPECT_EQ(head, (std::vector<int>{240, 239, 238, 241, 237, 242}));
  EXPECT_EQ(order[478], 0);
  EXPECT_EQ(order[479], 479);
}

TEST(RowOrder, OddHeight) {
  const std::vector<int> order = row_order(481);
  const std::vector<int> head(order.begin(), order.begin() + 5);
  EXPECT_EQ(head, (std::vector<int>{240, 239, 241, 238, 242}));
  EXPECT_EQ(order[479], 0);
  EXPECT_EQ(order[480], 480);
}

TEST(RowOrder, EveryRowExactlyOnce) {
  for (int height : {1, 2, 3, 4, 479, 480, 481, 600, 768, 1024}) {
    std::vector<int> order = row_order(height);
    ASSERT_EQ(static_cast<int>(order.size()), height) << height;
    std::sort(order.begin(), order.end());
    for (int r = 0; r < height; ++r) ASSERT_EQ(order[static_cast<std::size_t>(r)], r) << height;
  }
}

// --- elapsed time ---

struct TimingCase {
  std::string name;
  TimeOfDay start;
  TimeOfDay end;
  int32_t hours;
  int32_t minutes;
  std::string seconds_text;  // Fixed(4, 1) as the run log shows it
  float seconds_near;
};

inline void PrintTo(const TimingCase& t, std::ostream* os) { *os << t.name; }

class ElapsedTimeTest : public ::testing::TestWithParam<TimingCase> {};

TEST_P(ElapsedTimeTest, BorrowsAndCarries) {
  const TimingCase& t = GetParam();
  const ElapsedTime e = elapsed_time(t.start, t.end);
  EXPECT_EQ(e.hours, t.hours);
  EXPECT_EQ(e.minutes, t.minutes);
  EXPECT_NEAR(e.seconds, t.seconds_near, 1e-4);
  const std::string line = timing_lines(0, e.hours, e.minutes, e.seconds);
  EXPECT_EQ(line.substr(line.size() - 8, 4), t.seconds_text) << line;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ElapsedTimeTest,
    ::testing::Values(TimingCase{"past_midnight", {23, 59, 50, 0}, {0, 0, 5, 0}, 0, 0, "15.0", 15.0f},
                      TimingCase{"seconds_lose_a_minute", {10, 0, 59, 50}, {10, 1, 0, 20}, 0, 0, "  .7", 0.7f},
                      TimingCase{"hundredths_only", {1, 59, 59, 99}, {2, 0, 0, 0}, 0, 0, "  .0", 0.01f},
                      TimingCase{"hours_and_minutes", {9, 58, 30, 0}, {11, 2, 15, 50}, 1, 3, "45.5", 45.5f},
                      TimingCase{"almost_a_day", {12, 0, 0, 0}, {11, 59, 59, 99}, 23, 59, "60.0", 59.99f},
                      TimingCase{"nothing", {8, 0, 0, 0}, {8, 0, 0, 0}, 0, 0, "  .0", 0.0f}),
    [](const auto& info) { return info.param.name; });

// The seconds are single precision, the hundredth a single-precision 0.01.
TEST(ElapsedTime, SecondsAreRoundedOnceToSingle) {
  const ElapsedTime e = elapsed_time({10, 0, 59, 50}, {10, 1, 0, 20});
  const float raw = static_cast<float>(-30 * static_cast<long double>(0.01f) - 59.0L);
  EXPECT_EQ(e.seconds, static_cast<float>(static_cast<long double>(raw) + 60.0L));
}

// --- the render loop on the in-memory runtime ---

class RenderTest : public ::testing::Test {
 protected:
  RenderTest() : cd_(dir_.path()) {
    install_runtime(&runtime_);
    s_.params.width = 640;
    s_.params.height = 480;
    s_.params.resolution_code = 1;
    s_.params.screen_mode_code = {'V', '2'};
    s_.params.sixteen_colors = true;
    s_.params.last_color_index = 15;
    s_.params.center_x = -0.75;
    s_.params.center_y = 0.1;
    s_.params.magnification = 0.5f;
    s_.params.max_magnification = max_magnification_for_width(640);
  }
  ~RenderTest() override {
    try {
      close_program_files(s_);
    } catch (...) {
    }
  }

  std::string log_text() const { return test::read_text(dir_ / "ZENOPLOT.TXT"); }

  TempDir dir_;
  CurrentDirectory cd_;
  HeadlessRuntime runtime_;
  Session s_;
};

TEST_F(RenderTest, CompletedPictureMatchesTheWindowPixelForPixel) {
  compute_picture(s_);
  ASSERT_TRUE(s_.loop.picture_complete);
  EXPECT_GE(s_.picture.fd, 0);  // still open, waiting for the keep decision
  EXPECT_EQ(s_.run_log.fd, -1);

  const HeadlessRuntime::Window w = runtime_.window(picture_unit);
  EXPECT_EQ(w.title, picture_window_title(s_.params));
  EXPECT_EQ(w.title.rfind("Mandelbrot Set at (", 0), 0u);
  ASSERT_EQ(w.palette.size(), 16u);
  // The screen gets red in the low byte, the file blue.
  for (int i = 0; i < 16; ++i) {
    const uint32_t v = s_.palette.entries[static_cast<std::size_t>(i)];
    EXPECT_EQ(w.palette[static_cast<std::size_t>(i)], ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF));
  }

  close_program_files(s_);
  const Bmp bmp = Bmp::load(dir_ / "ZENOPIC0.BMP");
  ASSERT_EQ(bmp.width, 640);
  ASSERT_EQ(bmp.height, 480);
  ASSERT_EQ(bmp.bits, 4);
  int interior = 0;
  for (int r = 0; r < 480; ++r)
    for (int c = 0; c < 640; ++c) {
      ASSERT_EQ(bmp.index(c, r), runtime_.pixel(picture_unit, c, r)) << c << "," << r;
      interior += bmp.index(c, r) == 0;
    }
  EXPECT_GT(interior, 1000);  // the set is in the picture

  const auto lines = test::crlf_lines(log_text());
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], " Output file is ZENOPIC0.BMP.  Screen mode is V1, algorithm E ");
  EXPECT_TRUE(test::is_timing_line(lines[3])) << lines[3];
  EXPECT_EQ(lines[3].substr(19, 11), integer_layout(s_.iteration_total, 11));
  EXPECT_EQ(lines[4], "");
}

TEST_F(RenderTest, PreparationDrawsTheDiagonalsResetsAndSetsTheZoomBox) {
  s_.interaction.stop_requested = true;
  s_.interaction.new_case_requested = true;
  s_.interaction.right_button_down = true;
  s_.interaction.rotate_colors = false;
  s_.interaction.mouse_x = 3;
  s_.engine.last_selected_color = 0;
  compute_picture(s_);
  EXPECT_TRUE(s_.loop.picture_complete);  // the old requests were cleared first
  EXPECT_FALSE(s_.interaction.right_button_down);
  EXPECT_FALSE(s_.interaction.rotate_colors);  // not the render loop's
  EXPECT_EQ(s_.interaction.mouse_x, 320);
  EXPECT_EQ(s_.interaction.mouse_y, 240);
  EXPECT_EQ(s_.view.zoom_box_width, 64);
  EXPECT_EQ(s_.view.min_zoom_box_width, 2);
  EXPECT_EQ(s_.view.aspect_ratio, 640.0f / 480.0f);

  const auto calls = runtime_.calls();
  const std::vector<std::string> diagonals{"move_to 0 0", "line_to 639 479", "move_to 0 479", "line_to 639 0"};
  auto at = std::search(calls.begin(), calls.end(), diagonals.begin(), diagonals.end());
  EXPECT_NE(at, calls.end());
}

// The split into deciding and painting gives what evaluate_pixel gives per pixel.
struct RuleCase {
  std::string name;
  int32_t angle;
  bool border;
};

inline void PrintTo(const RuleCase& t, std::ostream* os) { *os << t.name; }

class RowStepsTest : public RenderTest, public ::testing::WithParamInterface<RuleCase> {};

TEST_P(RowStepsTest, DecideRowEqualsEvaluatePixel) {
  s_.params.sixteen_colors = false;
  s_.params.last_color_index = 235;
  s_.params.angle = GetParam().angle;
  s_.params.border_enabled = GetParam().border;
  s_.params.border_width = 0.5f;
  s_.params.center_x = -0.7454;
  s_.params.center_y = 0.1130;
  s_.params.magnification = 40.0f;
  derive_view(s_.params, s_.view);
  const PictureJob job = make_picture_job(s_);

  for (int r : {0, 100, 240, static_cast<int>(job.axis_row), 479}) {
    RowDecisions d;
    decide_row(job, r, d);
    const double y = row_imaginary(job, r);
    std::array<uint8_t, 1280> buffer{};
    EngineState engine;
    int64_t reference_total = 0, split_total = 0;
    for (int c = 0; c < 640; ++c) {
      evaluate_pixel(column_real(job, c), y, static_cast<int16_t>(c), static_cast<int16_t>(r), s_.view.iteration_limit,
                     reference_total, s_.view.border_iterations, s_.view.border_distance, s_.params.angle,
                     s_.params.last_color_index, buffer.data(), engine);
      split_total += d.iterations[static_cast<std::size_t>(c)];
      ASSERT_EQ(d.index[static_cast<std::size_t>(c)], buffer[static_cast<std::size_t>(c)]) << c << "," << r;
    }
    EXPECT_EQ(split_total, reference_total) << r;
  }
}

INSTANTIATE_TEST_SUITE_P(Rules, RowStepsTest,
                         ::testing::Values(RuleCase{"escape", 0, false}, RuleCase{"integer", -1, false},
                                           RuleCase{"azimuthal", 45, false}, RuleCase{"escape_border", 0, true},
                                           RuleCase{"azimuthal_border", 360, true}),
                         [](const auto& info) { return info.param.name; });

TEST_F(RenderTest, PixelCoordinates) {
  s_.params.center_y = -0.1;  // below the axis: no snap, but the axis row is in the picture
  derive_view(s_.params, s_.view);
  ASSERT_EQ(s_.params.center_y, -0.1);
  const PictureJob job = make_picture_job(s_);
  ASSERT_EQ(job.axis_row, 240 + s_.view.axis_offset);
  ASSERT_GT(job.axis_row, 0);
  const int axis = static_cast<int>(job.axis_row);
  const double plain = static_cast<double>((240 - axis) * static_cast<long double>(s_.view.row_spacing) - 0.1L);
  EXPECT_NE(plain, 0.0);  // the formula alone would miss the axis
  EXPECT_EQ(row_imaginary(job, axis), 0.0);
  EXPECT_FALSE(std::signbit(row_imaginary(job, axis)));
  EXPECT_EQ(row_imaginary(job, 240), -0.1);
  EXPECT_EQ(column_real(job, 320), -0.75);
  EXPECT_EQ(column_real(job, 0),
            static_cast<double>(-320 * static_cast<long double>(s_.view.pixel_spacing) + -0.75L));
}

// A request seen after a row ends the picture there; its file is deleted at
// the end, the run log stays open without a timing line.
struct StopCase {
  std::string name;
  std::atomic<bool> InteractionState::*flag;
  bool stops;
};

inline void PrintTo(const StopCase& t, std::ostream* os) { *os << t.name; }

class StopTest : public RenderTest, public ::testing::WithParamInterface<StopCase> {};

TEST_P(StopTest, AfterTheFirstRow) {
  std::vector<int> rows_seen;
  s_.on_row_done = [&](int done, int total) {
    EXPECT_EQ(total, 480);
    rows_seen.push_back(done);
    if (done == 1) (s_.interaction.*GetParam().flag).store(true);
  };
  compute_picture(s_);
  EXPECT_EQ(s_.loop.picture_complete, !GetParam().stops);
  EXPECT_EQ(rows_seen.size(), GetParam().stops ? 1u : 480u);
  const auto lines = test::crlf_lines(log_text());
  EXPECT_EQ(lines.size(), GetParam().stops ? 3u : 5u);
  EXPECT_EQ(s_.run_log.fd >= 0, GetParam().stops);

  const std::string path = s_.picture.path;
  if (GetParam().stops) {
    // Only the middle row has been written: the top row's record is still zero.
    const auto bytes = test::read_bytes(path);
    EXPECT_EQ(bytes.size(), 320u * (1 + 480 - 240)) << "records beyond the middle row are not written";
  }
  close_program_files(s_);
  EXPECT_EQ(std::filesystem::exists(path), !GetParam().stops);
  EXPECT_EQ(s_.run_log.fd, -1);
}

INSTANTIATE_TEST_SUITE_P(Flags, StopTest,
                         ::testing::Values(StopCase{"stop", &InteractionState::stop_requested, true},
                                           StopCase{"new_case", &InteractionState::new_case_requested, true},
                                           StopCase{"left_button", &InteractionState::left_button_down, true},
                                           StopCase{"right_button_has_no_effect", &InteractionState::right_button_down,
                                                    false}),
                         [](const auto& info) { return info.param.name; });

TEST_F(RenderTest, LeftButtonThroughTheRegisteredMouseRoutine) {
  s_.on_mouse = [this](int, int event, int, int x, int y) {
    s_.interaction.mouse_x = x;
    s_.interaction.mouse_y = y;
    if (event == mouse_left_down) s_.interaction.left_button_down = true;
  };
  int rows = 0;
  s_.on_row_done = [&](int done, int) {
    rows = done;
    if (done == 3) runtime_.fire_mouse(picture_unit, mouse_left_down, 10, 20);
  };
  compute_picture(s_);
  EXPECT_TRUE(runtime_.mouse_registered(picture_unit, mouse_left_down));
  EXPECT_TRUE(runtime_.mouse_registered(picture_unit, mouse_left_up));
  EXPECT_FALSE(runtime_.mouse_registered(picture_unit, mouse_right_down));
  EXPECT_FALSE(s_.loop.picture_complete);
  EXPECT_EQ(rows, 3);
  EXPECT_EQ(s_.interaction.mouse_x, 10);
}

TEST_F(RenderTest, NoMouseRoutineRegistersNothing) {
  compute_picture(s_);
  EXPECT_FALSE(runtime_.mouse_registered(picture_unit, mouse_left_down));
  EXPECT_FALSE(runtime_.mouse_registered(picture_unit, mouse_left_up));
}

// A row that cannot be written ends the picture with FileError; closing the
// program's files then deletes the incomplete picture.
TEST_F(RenderTest, RowWriteFailure) {
  int writable = -1;
  s_.on_row_done = [&](int done, int) {
    if (done == 2) {
      writable = s_.picture.fd;
      s_.picture.fd = ::open("/dev/null", O_RDONLY);
    }
  };
  EXPECT_THROW(compute_picture(s_), FileError);
  EXPECT_FALSE(s_.loop.picture_complete);
  ::close(s_.picture.fd);
  s_.picture.fd = writable;
  const std::string path = s_.picture.path;
  close_program_files(s_);
  EXPECT_FALSE(std::filesystem::exists(path));
}

// The second picture in the same directory takes the next name and appends.
TEST_F(RenderTest, SecondPictureTakesTheNextName) {
  compute_picture(s_);
  close_program_files(s_);
  compute_picture(s_);
  EXPECT_EQ(s_.picture.picture_name, "ZENOPIC1.BMP");
  close_program_files(s_);
  EXPECT_EQ(test::crlf_lines(log_text()).size(), 10u);
  EXPECT_EQ(test::read_bytes(dir_ / "ZENOPIC0.BMP"), test::read_bytes(dir_ / "ZENOPIC1.BMP"));
}

}  // namespace
}  // namespace zeno
