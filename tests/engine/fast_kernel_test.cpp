// The fast kernel and the batch decision against the reference loop: every
// count, escape value, final angle, index and total bit for bit the same.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/kernel.hpp"
#include "engine/kernel_fast.hpp"
#include "engine/pixel.hpp"

namespace zeno {
namespace {

uint32_t bits(float v) {
  uint32_t b = 0;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

// A small grid of points laid out like the render loop lays out a picture.
struct View {
  std::string name;
  double center_x;
  double center_y;
  double spacing;
};

constexpr int grid_width = 24;
constexpr int grid_height = 16;

double grid_re(const View& v, int column) {
  return static_cast<double>(static_cast<long double>(column - grid_width / 2) * static_cast<long double>(v.spacing) +
                             static_cast<long double>(v.center_x));
}

double grid_im(const View& v, int row) {
  return static_cast<double>(static_cast<long double>(grid_height / 2 - row) * static_cast<long double>(v.spacing) +
                             static_cast<long double>(v.center_y));
}

const View views[] = {
    {"overview", -0.7, 0.05, 0.12},
    // Filaments around a deep spot, counts in the thousands.
    {"boundary_heavy", -1.768778510238, -0.001738899448, 6e-12},
    // A period-11 minibrot filling most of the grid: interior at the limit.
    {"interior_heavy", -0.5618416, 0.6769864, 1.5e-6},
    // Rows at +y and -y and the axis itself (row 8 has y = 0).
    {"across_the_axis", -1.3, 0.0, 0.015},
};

struct Rule {
  std::string name;
  int32_t angle;
  bool border;
};

const Rule rules[] = {
    {"escape", 0, false},     {"integer", -1, false},    {"azimuthal", 45, false},
    {"escape_border", 0, true}, {"integer_border", -1, true}, {"azimuthal_border", 45, true},
};

using Case = std::tuple<View, int32_t, Rule>;

class FastMatchesPlain : public ::testing::TestWithParam<Case> {};

TEST_P(FastMatchesPlain, KernelOutputsDecisionsAndTotals) {
  const auto& [view, limit, rule_case] = GetParam();
  PixelRule rule;
  rule.iteration_limit = limit;
  rule.angle = rule_case.angle;
  rule.last_color_index = 235;
  if (rule_case.border) {
    // A generous border so that it marks a good share of the escaped pixels.
    rule.border_iterations = 10;
    rule.border_distance = 2.0 * view.spacing;
  }
  AngleTable angles;
  prepare_angle_table(angles, rule.angle);

  int64_t plain_total = 0;
  int64_t fast_total = 0;
  int escaped = 0;
  int at_limit = 0;
  for (int row = 0; row < grid_height; ++row) {
    const double y = grid_im(view, row);
    std::vector<double> xs(grid_width);
    std::vector<KernelPoint> points(grid_width);
    for (int c = 0; c < grid_width; ++c) {
      xs[c] = grid_re(view, c);
      points[c] = KernelPoint{xs[c], y};
    }

    // The kernel itself, with the rule's output mode.
    if (!rule_case.border) {
      ASSERT_TRUE(iterate_points(points.data(), grid_width, limit, rule.angle));
      for (int c = 0; c < grid_width; ++c) {
        int32_t count = 0;
        float escape_value = 0.0f;
        float final_angle = 0.0f;
        iterate_point(xs[c], y, limit, count, escape_value, final_angle, rule.angle);
        ASSERT_EQ(points[c].count, count) << c << "," << row;
        if (rule.angle == 0) {
          ASSERT_EQ(bits(points[c].escape_value), bits(escape_value)) << c << "," << row;
        }
        if (rule.angle > 0) {
          ASSERT_EQ(bits(points[c].final_angle), bits(final_angle)) << c << "," << row;
        }
        escaped += count < limit;
        at_limit += count == limit;
      }
    }

    // The whole decision.
    std::vector<PixelDecision> fast(grid_width);
    ASSERT_TRUE(decide_pixels(xs.data(), y, grid_width, rule, angles, fast.data()));
    for (int c = 0; c < grid_width; ++c) {
      const PixelDecision plain = decide_pixel(xs[c], y, rule, angles);
      ASSERT_EQ(fast[c].index, plain.index) << c << "," << row;
      ASSERT_EQ(fast[c].iterations, plain.iterations) << c << "," << row;
      plain_total += plain.iterations;
      fast_total += fast[c].iterations;
    }
  }
  EXPECT_EQ(fast_total, plain_total);
  if (!rule_case.border && limit > 100) {
    // The grid is worth comparing: it has escaped points and, but for the
    // boundary view, points that run to the limit.
    EXPECT_GT(escaped, 0);
    if (view.name != "boundary_heavy" && view.name != "overview") {
      EXPECT_GT(at_limit, grid_width);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Views, FastMatchesPlain,
                         ::testing::Combine(::testing::ValuesIn(views), ::testing::Values(12, 1000, 65534),
                                            ::testing::ValuesIn(rules)),
                         [](const auto& info) {
                           return std::get<0>(info.param).name + "_" + std::to_string(std::get<1>(info.param)) + "_" +
                                  std::get<2>(info.param).name;
                         });

// A real c > 1/4 that escapes after exactly `count` passes (the count falls
// as c grows along the real axis).
double real_point_with_count(int32_t count) {
  double lo = 0.25;
  double hi = 1e4;
  for (int i = 0; i < 200; ++i) {
    const double mid = 0.5 * (lo + hi);
    int32_t n = 0;
    float ev = 0.0f;
    float fa = 0.0f;
    iterate_point(mid, 0.0, 1 << 15, n, ev, fa, -1);
    if (n > count) lo = mid; else hi = mid;
  }
  return hi;
}

// Escapes just before, at and after the end of a block, with limits on
// either side: the block taken back and finished pass by pass.
TEST(FastKernel, EscapesAndLimitsAroundBlockEnds) {
  const int32_t b = kernel_block_passes;
  std::vector<KernelPoint> points;
  for (const int32_t count : {1, 2, b - 1, b, b + 1, 2 * b - 1, 2 * b, 2 * b + 1, 5 * b + 3}) {
    const double c = real_point_with_count(count);
    int32_t check = 0;
    float ev = 0.0f;
    float fa = 0.0f;
    iterate_point(c, 0.0, 1000, check, ev, fa, -1);
    ASSERT_EQ(check, count);
    points.push_back(KernelPoint{c, 0.0});
    points.push_back(KernelPoint{c, 1e-9});  // off the axis too
  }
  for (const int32_t count : {1, b - 1, b, b + 1, 2 * b, 3 * b + 7}) {
    for (const int32_t limit : {count - 1, count, count + 1, 2 * b, 2 * b + 1, 1000}) {
      if (limit < 1) continue;
      for (const int32_t mode : {-1, 0, 90}) {
        std::vector<KernelPoint> batch = points;
        ASSERT_TRUE(iterate_points(batch.data(), static_cast<int>(batch.size()), limit, mode));
        for (const KernelPoint& p : batch) {
          int32_t n = 0;
          float ev = 0.0f;
          float fa = 0.0f;
          iterate_point(p.c_re, p.c_im, limit, n, ev, fa, mode);
          ASSERT_EQ(p.count, n) << p.c_re << " limit " << limit;
          if (mode == 0) {
            ASSERT_EQ(bits(p.escape_value), bits(ev)) << p.c_re << " limit " << limit;
          }
          if (mode > 0) {
            ASSERT_EQ(bits(p.final_angle), bits(fa)) << p.c_re << " limit " << limit;
          }
        }
      }
    }
  }
}

// The single-point entry on the reference kernel's worked and edge cases,
// outputs not asked for left alone.
struct EdgePoint {
  std::string name;
  double c_re;
  double c_im;
  int32_t limit;
};

class FastKernelEdges : public ::testing::TestWithParam<EdgePoint> {};

TEST_P(FastKernelEdges, SameAsTheReference) {
  const EdgePoint& p = GetParam();
  for (const int32_t mode : {-1, 0, 1, 360}) {
    int32_t plain_count = -1;
    float plain_ev = 7.5f;
    float plain_fa = 7.5f;
    iterate_point(p.c_re, p.c_im, p.limit, plain_count, plain_ev, plain_fa, mode);
    int32_t fast_count = -1;
    float fast_ev = 7.5f;
    float fast_fa = 7.5f;
    iterate_point_fast(p.c_re, p.c_im, p.limit, fast_count, fast_ev, fast_fa, mode);
    EXPECT_EQ(fast_count, plain_count) << mode;
    EXPECT_EQ(bits(fast_ev), bits(plain_ev)) << mode;
    EXPECT_EQ(bits(fast_fa), bits(plain_fa)) << mode;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Points, FastKernelEdges,
    ::testing::Values(EdgePoint{"two", 2.0, 0.0, 100}, EdgePoint{"thousand", 1000.0, 0.0, 100},
                      EdgePoint{"beyond_the_fast_range", 5000.0, -3000.0, 100},
                      EdgePoint{"exactly_on_the_threshold", 0x1.c25e85ec98f0ep+4, 0x1.acaa8c0fa9a8ap+3, 100},
                      EdgePoint{"limit_one", 2.0, 0.0, 1}, EdgePoint{"below_the_axis", 1000.0, -1.0, 10},
                      EdgePoint{"negative_zero", 2.0, -0.0, 10}, EdgePoint{"origin", 0.0, 0.0, 65535},
                      EdgePoint{"minus_two", -2.0, 0.0, 65534}, EdgePoint{"near_the_cusp", 0.2500001, 0.0, 65534},
                      EdgePoint{"slow_spiral", -0.75, 0.001, 65534}),
    [](const auto& info) { return info.param.name; });

// Cycle detection: exact repeats end a point early with what the limit
// gives; orbits that only come close never do.
struct CycleCase {
  std::string name;
  double c_re;
  double c_im;
  bool repeats;  // the orbit comes back to an earlier iterate bit for bit
};

class CycleDetection : public ::testing::TestWithParam<CycleCase> {};

TEST_P(CycleDetection, OnlyExactRepeats) {
  const CycleCase& p = GetParam();
  constexpr int32_t limit = 65534;
  for (const int32_t mode : {-1, 0, 7}) {
    KernelPoint point{p.c_re, p.c_im};
    ASSERT_TRUE(iterate_points(&point, 1, limit, mode));
    int32_t count = 0;
    float ev = 0.0f;
    float fa = 0.0f;
    iterate_point(p.c_re, p.c_im, limit, count, ev, fa, mode);
    EXPECT_EQ(point.count, count);
    if (mode == 0) {
      EXPECT_EQ(bits(point.escape_value), bits(ev));
    }
    if (mode > 0) {
      EXPECT_EQ(bits(point.final_angle), bits(fa));
    }
    if (p.repeats) {
      EXPECT_EQ(point.count, limit);
      EXPECT_LT(point.passes_made, 200) << "the repeat was not seen";
    } else {
      EXPECT_EQ(point.passes_made, point.count) << "stopped early without an exact repeat";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Points, CycleDetection,
    ::testing::Values(
        // -1, 0, -1, ...: period 2 from the first pass.
        CycleCase{"minus_one", -1.0, 0.0, true},
        // 0 stays 0, -2 goes to 2 and stays there.
        CycleCase{"origin", 0.0, 0.0, true}, CycleCase{"minus_two", -2.0, 0.0, true},
        // Period 3 around the nucleus of the largest period-3 bulb off the axis.
        CycleCase{"period_three_bulb", -0.1225611668766536, 0.7448617666197442, true},
        // Parabolic points creep towards their fixed point and never repeat
        // within the limit; neither escapes.
        CycleCase{"cusp", 0.25, 0.0, false}, CycleCase{"period_doubling", -0.75, 0.0, false},
        // Near the cusp: lingers for thousands of passes, then escapes.
        CycleCase{"just_outside_the_cusp", 0.2500001, 0.0, false}),
    [](const auto& info) { return info.param.name; });

TEST(FastKernel, CancelledBeforeTheFirstBlock) {
  std::atomic<bool> cancel{true};
  std::vector<KernelPoint> points(6, KernelPoint{-0.75, 0.0});
  EXPECT_FALSE(iterate_points(points.data(), 6, 65534, -1, &cancel));
  std::vector<PixelDecision> out(4);
  const double xs[4] = {-0.75, -0.75, -0.75, -0.75};
  PixelRule rule;
  rule.iteration_limit = 65534;
  EXPECT_FALSE(decide_pixels(xs, 0.0, 4, rule, AngleTable{}, out.data(), &cancel));
  cancel = false;
  EXPECT_TRUE(iterate_points(points.data(), 1, 100, -1, &cancel));
  EXPECT_EQ(points[0].count, 100);
}

}  // namespace
}  // namespace zeno
