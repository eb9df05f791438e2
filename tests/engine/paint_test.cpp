// Painting: evaluate_pixel against the pure decision, colour selection, the
// row buffer, the iteration total, and the palette handed to the window.

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <thread>
#include <vector>

#include "engine/palette.hpp"
#include "engine/pixel.hpp"
#include "platform/headless/headless_runtime.hpp"

namespace zeno {
namespace {

// Remembers every colour selection (the headless runtime does not log them).
class SelectionLog : public HeadlessRuntime {
 public:
  using HeadlessRuntime::HeadlessRuntime;
  void set_color(int index) override {
    selections.push_back(index);
    HeadlessRuntime::set_color(index);
  }
  std::vector<int> selections;
};

class Painting : public ::testing::Test {
 protected:
  void SetUp() override {
    install_runtime(&runtime_);
    gw_open_window(picture_unit, "Mandelbrot Set at (test)");
  }
  void TearDown() override { install_runtime(nullptr); }

  SelectionLog runtime_{64, 48, 256};
};

struct View {
  const char* name;
  double left;
  double top;
  double spacing;
  int width;
  int height;
  int32_t limit;
};

struct RuleSetup {
  int32_t angle;
  bool border;
  int32_t last_color_index;
};

// Every pixel of a few small views under every rule, with and without
// Border: what evaluate_pixel paints and stores must be decide_pixel's index,
// and the total its iterations.
TEST_F(Painting, EvaluateAgreesWithTheDecisionPixelForPixel) {
  const View views[] = {
      {"whole set", -2.2, 1.25, 3.0 / 40, 40, 34, 200},
      {"seahorse valley", -0.78, 0.16, 0.06 / 40, 40, 30, 1000},
      {"near the cusp", 0.2, 0.05, 0.1 / 40, 40, 20, 3000},
      {"antenna", -1.95, 0.01, 0.2 / 40, 40, 5, 500},
  };
  const RuleSetup rules[] = {{0, false, 235},   {0, true, 235},   {-1, false, 235}, {-1, true, 235},
                             {45, false, 235},  {45, true, 235},  {100, false, 15}, {100, true, 15},
                             {360, false, 15},  {-1, true, 15},   {0, true, 15},    {7, true, 235}};
  EngineState state;
  std::vector<uint8_t> row_buffer(64, 0xEE);
  for (const View& view : views) {
    for (const RuleSetup& r : rules) {
      SCOPED_TRACE(::testing::Message() << view.name << " angle " << r.angle << " border " << r.border << " colours "
                                        << r.last_color_index + 1);
      PixelRule rule;
      rule.iteration_limit = view.limit;
      rule.border_iterations = r.border ? 10 : 65535;
      rule.border_distance = r.border ? view.spacing : 0.0;
      rule.angle = r.angle;
      rule.last_color_index = r.last_color_index;
      AngleTable table;
      prepare_angle_table(table, r.angle);

      int64_t total = 0;
      int64_t expected_total = 0;
      bool saw_border = false;
      bool saw_interior = false;
      for (int row = 0; row < view.height; ++row) {
        const double c_im = view.top - row * view.spacing;
        std::vector<uint8_t> expected(view.width);
        for (int column = 0; column < view.width; ++column) {
          const double c_re = view.left + column * view.spacing;
          const PixelDecision d = decide_pixel(c_re, c_im, rule, table);
          expected[column] = d.index;
          expected_total += d.iterations;
          saw_border |= d.index == r.last_color_index;
          saw_interior |= d.index == 0;
          evaluate_pixel(c_re, c_im, static_cast<int16_t>(column), static_cast<int16_t>(row), rule.iteration_limit,
                         total, rule.border_iterations, rule.border_distance, rule.angle, rule.last_color_index,
                         row_buffer.data(), state);
        }
        for (int column = 0; column < view.width; ++column) {
          ASSERT_EQ(row_buffer[column], expected[column]) << "row " << row << " column " << column;
          ASSERT_EQ(runtime_.pixel(picture_unit, column, row), expected[column])
              << "row " << row << " column " << column;
        }
      }
      EXPECT_EQ(total, expected_total);
      EXPECT_TRUE(saw_interior);
      if (r.border) {
        EXPECT_TRUE(saw_border);
      }
    }
  }
}

TEST_F(Painting, SelectsAColourOnlyWhenTheIndexChanges) {
  EngineState state;
  const uint8_t indices[] = {3, 3, 5, 5, 5, 3, 0, 0};
  for (int i = 0; i < 8; ++i) {
    paint_pixel(state, static_cast<int16_t>(i), 2, indices[i]);
  }
  EXPECT_EQ(runtime_.selections, (std::vector<int>{3, 5, 3, 0}));
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(runtime_.pixel(picture_unit, i, 2), indices[i]) << i;
  }
  EXPECT_EQ(state.last_selected_color, 0);

  // Another drawing selected a colour: the next pixel selects its own again.
  gw_set_color(15);
  state.last_selected_color = -1;
  paint_pixel(state, 9, 2, 0);
  EXPECT_EQ(runtime_.selections, (std::vector<int>{3, 5, 3, 0, 15, 0}));
  EXPECT_EQ(runtime_.pixel(picture_unit, 9, 2), 0);
}

TEST_F(Painting, FirstPixelOfARunSelectsItsColour) {
  EngineState state;
  int64_t total = 0;
  std::vector<uint8_t> row_buffer(4, 0xEE);
  // c = 0 is interior (index 0): even index 0 is selected on the first pixel.
  evaluate_pixel(0.0, 0.0, 0, 0, 100, total, 65535, 0.0, 0, 235, row_buffer.data(), state);
  EXPECT_EQ(runtime_.selections, (std::vector<int>{0}));
  EXPECT_EQ(state.last_selected_color, 0);
}

TEST_F(Painting, RowBufferTakesTheColumnsOwnPosition) {
  EngineState state;
  int64_t total = 0;
  std::vector<uint8_t> row_buffer(64, 0xEE);
  // c = 2 under Integer is index 3; c = 0 is index 0.
  evaluate_pixel(2.0, 0.0, 0, 5, 100, total, 65535, 0.0, -1, 235, row_buffer.data(), state);
  evaluate_pixel(0.0, 0.0, 63, 5, 100, total, 65535, 0.0, -1, 235, row_buffer.data(), state);
  evaluate_pixel(2.0, 0.0, 30, 5, 100, total, 65535, 0.0, -1, 235, row_buffer.data(), state);
  EXPECT_EQ(row_buffer[0], 3);
  EXPECT_EQ(row_buffer[63], 0);
  EXPECT_EQ(row_buffer[30], 3);
  EXPECT_EQ(row_buffer[1], 0xEE);
  EXPECT_EQ(row_buffer[62], 0xEE);
  EXPECT_EQ(runtime_.pixel(picture_unit, 0, 5), 3);
  EXPECT_EQ(runtime_.pixel(picture_unit, 63, 5), 0);
}

struct TotalCase {
  double c_re;
  int64_t added;  // with a limit of 1000
};

void PrintTo(const TotalCase& p, std::ostream* os) { *os << "c = " << p.c_re; }

class IterationTotal : public Painting, public ::testing::WithParamInterface<TotalCase> {};

TEST_P(IterationTotal, AddsThePassesOfPointsThatReachTheKernel) {
  EngineState state;
  std::vector<uint8_t> row_buffer(1);
  // Start beyond what 32 bits hold: the total is 64-bit.
  const int64_t start = int64_t{1} << 40;
  int64_t total = start;
  for (const int32_t angle : {0, -1, 90}) {
    total = start;
    evaluate_pixel(GetParam().c_re, 0.0, 0, 0, 1000, total, 65535, 0.0, angle, 235, row_buffer.data(), state);
    EXPECT_EQ(total - start, GetParam().added) << angle;
  }
}

INSTANTIATE_TEST_SUITE_P(Engine, IterationTotal,
                         ::testing::Values(TotalCase{0.0, 0}, TotalCase{-1.0, 0}, TotalCase{0.25, 0},
                                           TotalCase{-0.75, 1000}, TotalCase{2.0, 3}, TotalCase{1000.0, 1}));

TEST_F(Painting, TotalCrossesThirtyTwoBits) {
  EngineState state;
  std::vector<uint8_t> row_buffer(1);
  int64_t total = INT32_MAX - 10;
  evaluate_pixel(-0.75, 0.0, 0, 0, 65534, total, 65535, 0.0, -1, 235, row_buffer.data(), state);
  EXPECT_EQ(total, int64_t{INT32_MAX} - 10 + 65534);
}

TEST_F(Painting, EvaluatePreparesTheAngleTable) {
  EngineState state;
  std::vector<uint8_t> row_buffer(1);
  int64_t total = 0;
  EXPECT_EQ(state.angles.table_angle, 360);
  evaluate_pixel(2.0, 0.0, 0, 0, 100, total, 65535, 0.0, 45, 235, row_buffer.data(), state);
  EXPECT_EQ(state.angles.table_angle, 45);
  EXPECT_EQ(state.angles.entry[4], 0x1.46b9c34p-23);
  // Escape and Integer pictures leave it as it was.
  evaluate_pixel(2.0, 0.0, 0, 0, 100, total, 65535, 0.0, 0, 235, row_buffer.data(), state);
  evaluate_pixel(2.0, 0.0, 0, 0, 100, total, 65535, 0.0, -1, 235, row_buffer.data(), state);
  EXPECT_EQ(state.angles.table_angle, 45);
}

// The decision shares nothing: rows decided on two threads at once equal the
// rows decided one after the other.
TEST(Decide, RowsDecidedOnWorkerThreadsMatch) {
  const int width = 48;
  const int height = 32;
  PixelRule rule;
  rule.iteration_limit = 2000;
  rule.border_iterations = 10;
  rule.border_distance = 0.001;
  rule.angle = 100;
  rule.last_color_index = 235;
  AngleTable table;
  prepare_angle_table(table, rule.angle);
  auto point = [](int column, int row) { return std::pair{-0.8 + column * 0.002, 0.2 - row * 0.002}; };

  std::vector<PixelDecision> serial(width * height);
  for (int row = 0; row < height; ++row) {
    for (int column = 0; column < width; ++column) {
      const auto [re, im] = point(column, row);
      serial[row * width + column] = decide_pixel(re, im, rule, table);
    }
  }
  std::vector<PixelDecision> parallel(width * height);
  auto worker = [&](int first_row) {
    for (int row = first_row; row < height; row += 2) {
      for (int column = 0; column < width; ++column) {
        const auto [re, im] = point(column, row);
        parallel[row * width + column] = decide_pixel(re, im, rule, table);
      }
    }
  };
  std::thread a(worker, 0);
  std::thread b(worker, 1);
  a.join();
  b.join();
  for (int i = 0; i < width * height; ++i) {
    ASSERT_EQ(parallel[i].index, serial[i].index) << i;
    ASSERT_EQ(parallel[i].iterations, serial[i].iterations) << i;
  }
}

// --- palette loading ---

TEST_F(Painting, LoadPaletteHandsTheFileColoursInWindowOrder) {
  for (const bool sixteen : {false, true}) {
    Palette palette;
    build_palette(sixteen, palette);
    load_palette(palette);
    const HeadlessRuntime::Window w = runtime_.window(picture_unit);
    ASSERT_EQ(static_cast<int>(w.palette.size()), palette.size()) << sixteen;
    for (int i = 0; i < palette.size(); ++i) {
      const uint32_t file = palette.entries[i];
      const uint32_t red = (file >> 16) & 0xFF;
      const uint32_t green = (file >> 8) & 0xFF;
      const uint32_t blue = file & 0xFF;
      ASSERT_EQ(w.palette[i], (blue << 16) | (green << 8) | red) << i;
    }
  }
  // Spot checks: entry 1 of each mode, and the pure colours.
  Palette palette;
  build_palette(false, palette);
  load_palette(palette);
  EXPECT_EQ(runtime_.window(picture_unit).palette[1], 0x00FFFBu);    // file 0xFBFF00
  EXPECT_EQ(runtime_.window(picture_unit).palette[117], 0xFF0000u);  // file 0x0000FF, blue
  EXPECT_EQ(runtime_.window(picture_unit).palette[195], 0x0000FFu);  // file 0xFF0000, red
  build_palette(true, palette);
  load_palette(palette);
  EXPECT_EQ(runtime_.window(picture_unit).palette[1], 0x00FF88u);  // file 0x88FF00
}

}  // namespace
}  // namespace zeno
