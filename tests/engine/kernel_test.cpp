// The escape iteration kernel and the boundary distance estimate.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <ostream>
#include <utility>

#include "engine/kernel.hpp"

namespace zeno {
namespace {

constexpr float untouched = 123.5f;

struct KernelRun {
  int32_t count = -1;
  float escape_value = untouched;
  float final_angle = untouched;
};

KernelRun run(double c_re, double c_im, int32_t limit, int32_t mode) {
  KernelRun r;
  iterate_point(c_re, c_im, limit, r.count, r.escape_value, r.final_angle, mode);
  return r;
}

// Worked values: count, escape value, final angle, distance. Escape values
// are the binary32 roundings of the exact (1 - log2(ln |z|^2)) + count.
struct WorkedPoint {
  double c_re;
  int32_t count;
  float escape_value;
  long double distance;  // 2|z|ln|z| / |dz/dc| to 20 digits
};

void PrintTo(const WorkedPoint& p, std::ostream* os) { *os << "c = " << p.c_re; }

class KernelWorkedValues : public ::testing::TestWithParam<WorkedPoint> {};

TEST_P(KernelWorkedValues, CountEscapeValueAngleAndDistance) {
  const WorkedPoint& p = GetParam();
  const KernelRun escape = run(p.c_re, 0.0, 1000, 0);
  EXPECT_EQ(escape.count, p.count);
  EXPECT_EQ(escape.escape_value, p.escape_value);
  EXPECT_EQ(escape.final_angle, untouched);

  const KernelRun azimuthal = run(p.c_re, 0.0, 1000, 360);
  EXPECT_EQ(azimuthal.count, p.count);
  EXPECT_EQ(azimuthal.final_angle, 0.0f);
  EXPECT_FALSE(std::signbit(azimuthal.final_angle));
  EXPECT_EQ(azimuthal.escape_value, untouched);

  const long double d = boundary_distance(p.c_re, 0.0, p.count);
  EXPECT_NEAR(static_cast<double>(d), static_cast<double>(p.distance), static_cast<double>(p.distance) * 1e-17);
}

INSTANTIATE_TEST_SUITE_P(
    Engine, KernelWorkedValues,
    ::testing::Values(
        // iterates 6, 38, 1446; dz/dc 5, 61, 4637
        WorkedPoint{2.0, 3, 0.136744136951197071843f, 4.5382361692177074206L},
        // iterate 1001000; dz/dc 2001
        WorkedPoint{1000.0, 1, -2.78832134321667103698f, 13823.414860925192399L}));

TEST(Kernel, WorkedDecimalsMatch) {
  EXPECT_NEAR(run(2.0, 0.0, 100, 0).escape_value, 0.136744, 5e-7);
  EXPECT_NEAR(run(1000.0, 0.0, 100, 0).escape_value, -2.78832, 5e-6);
  EXPECT_NEAR(static_cast<double>(boundary_distance(2.0, 0.0, 3)), 4.53824, 5e-6);
  EXPECT_NEAR(static_cast<double>(boundary_distance(1000.0, 0.0, 1)), 13823.4, 0.05);
}

// Points that never escape: count = limit, escape value limit + 1, angle 0.
struct Interior {
  double c_re;
  double c_im;
  int32_t limit;
};

void PrintTo(const Interior& p, std::ostream* os) { *os << "c = (" << p.c_re << ", " << p.c_im << "), limit " << p.limit; }

class KernelNonEscape : public ::testing::TestWithParam<Interior> {};

TEST_P(KernelNonEscape, ReportsLimit) {
  const Interior& p = GetParam();
  EXPECT_EQ(run(p.c_re, p.c_im, p.limit, -1).count, p.limit);
  const KernelRun escape = run(p.c_re, p.c_im, p.limit, 0);
  EXPECT_EQ(escape.count, p.limit);
  EXPECT_EQ(escape.escape_value, static_cast<float>(p.limit + 1));
  const KernelRun azimuthal = run(p.c_re, p.c_im, p.limit, 45);
  EXPECT_EQ(azimuthal.count, p.limit);
  EXPECT_EQ(azimuthal.final_angle, 0.0f);
}

INSTANTIATE_TEST_SUITE_P(Engine, KernelNonEscape,
                         ::testing::Values(Interior{0.0, 0.0, 1}, Interior{0.0, 0.0, 500},
                                           Interior{-2.0, 0.0, 65535}, Interior{-0.75, 0.0, 65534},
                                           Interior{2.0, 0.0, 1}, Interior{-1.0, 0.0, 2}));

TEST(Kernel, LimitOfOneMakesOnePass) {
  // c = 2 needs three passes: after one it has not escaped.
  const KernelRun two = run(2.0, 0.0, 1, 0);
  EXPECT_EQ(two.count, 1);
  EXPECT_EQ(two.escape_value, 2.0f);
  // c = 1000 escapes in that one pass.
  const KernelRun thousand = run(1000.0, 0.0, 1, 0);
  EXPECT_EQ(thousand.count, 1);
  EXPECT_LT(thousand.escape_value, 0.0f);
}

TEST(Kernel, OutputsNotAskedForAreLeftAlone) {
  const KernelRun count_only = run(2.0, 0.0, 100, -1);
  EXPECT_EQ(count_only.count, 3);
  EXPECT_EQ(count_only.escape_value, untouched);
  EXPECT_EQ(count_only.final_angle, untouched);
  const KernelRun interior = run(0.0, 0.0, 10, -1);
  EXPECT_EQ(interior.escape_value, untouched);
  EXPECT_EQ(interior.final_angle, untouched);
}

// A point whose first iterate has |z|^2 == 1000000.0 exactly in extended
// precision (found by search): the strict threshold must not let it escape.
constexpr double exact_threshold_re = 0x1.c25e85ec98f0ep+4;
constexpr double exact_threshold_im = 0x1.acaa8c0fa9a8ap+3;

TEST(Kernel, SquaredModulusOfExactlyOneMillionDoesNotEscape) {
  // The premise: pass 1 ends exactly on the threshold.
  const long double x = exact_threshold_re;
  const long double y = exact_threshold_im;
  const long double x1 = (x * x - y * y) + x;
  const long double y1 = 2.0L * (x * y) + y;
  ASSERT_EQ(x1 * x1 + y1 * y1, 1000000.0L);

  const KernelRun one = run(exact_threshold_re, exact_threshold_im, 1, 0);
  EXPECT_EQ(one.count, 1);
  EXPECT_EQ(one.escape_value, 2.0f);  // not escaped: limit + 1
  EXPECT_EQ(run(exact_threshold_re, exact_threshold_im, 1, 90).final_angle, 0.0f);
  EXPECT_EQ(run(exact_threshold_re, exact_threshold_im, 100, -1).count, 2);

  // One binary64 step further out, pass 1 lies above the threshold.
  const double beyond = std::nextafter(exact_threshold_re, 100.0);
  EXPECT_EQ(run(beyond, exact_threshold_im, 100, -1).count, 1);
}

TEST(Kernel, FinalAngleBelowTheRealAxisLiesBetweenPiAndTwoPi) {
  // z1 = (1000^2 - 1 + 1000) + (2 * 1000 * -1 - 1)i: just below the positive real axis.
  const KernelRun below = run(1000.0, -1.0, 10, 1);
  EXPECT_EQ(below.count, 1);
  EXPECT_GT(below.final_angle, 3.14159265f);
  EXPECT_LT(below.final_angle, 6.28318531f);
  EXPECT_NEAR(below.final_angle, 2.0 * std::numbers::pi - std::atan2(2001.0, 1000999.0), 1e-6);

  // Above the axis the angle is the plain arc tangent.
  const KernelRun above = run(1000.0, 1.0, 10, 1);
  EXPECT_NEAR(above.final_angle, std::atan2(2001.0, 1000999.0), 1e-9);
  // Left of the origin, near +pi and just past it.
  EXPECT_NEAR(run(0.0, 1000.0, 10, 1).final_angle, std::numbers::pi - std::atan2(1000.0, 1e6), 1e-6);
  EXPECT_NEAR(run(0.0, -1000.0, 10, 1).final_angle, std::numbers::pi + std::atan2(1000.0, 1e6), 1e-6);
}

TEST(Kernel, NegativeZeroImaginaryPartKeepsNegativeZeroAngle) {
  const KernelRun minus = run(2.0, -0.0, 10, 1);
  EXPECT_EQ(minus.count, 3);
  EXPECT_EQ(minus.final_angle, 0.0f);
  EXPECT_TRUE(std::signbit(minus.final_angle));
  const KernelRun plus = run(2.0, 0.0, 10, 1);
  EXPECT_FALSE(std::signbit(plus.final_angle));
}

TEST(Kernel, EscapeValueStaysWithinItsBand) {
  // For |c| of a few units: count - 3.79 < value < count - 2.788.
  for (const double c : {0.3, 0.5, 1.0, 2.0, 3.5}) {
    const KernelRun r = run(c, 0.7, 10000, 0);
    EXPECT_LT(r.escape_value, r.count - 2.788f) << c;
    EXPECT_GT(r.escape_value, r.count - 3.79f) << c;
  }
}

TEST(BoundaryDistance, RepeatsTheKernelsIterationsExactly) {
  // The distance is 2|z|ln|z|/|dz/dc| from the kernel's last iterate; check it
  // against a derivative carried separately along the same exact iterates.
  for (const auto& [c_re, c_im] : {std::pair{0.3, 0.6}, std::pair{-0.75, 0.01}, std::pair{-1.8, -0.002}}) {
    int32_t count = 0;
    float ev = 0.0f;
    float fa = 0.0f;
    iterate_point(c_re, c_im, 10000, count, ev, fa, -1);
    ASSERT_LT(count, 10000);
    long double x = c_re;
    long double y = c_im;
    long double dr = 1.0L;
    long double di = 0.0L;
    for (int32_t i = 0; i < count; ++i) {
      const long double ndr = 2.0L * (dr * x - di * y) + 1.0L;
      const long double ndi = 2.0L * (di * x + dr * y);
      const long double nx = (x * x - y * y) + static_cast<long double>(c_re);
      const long double ny = 2.0L * (x * y) + static_cast<long double>(c_im);
      dr = ndr;
      di = ndi;
      x = nx;
      y = ny;
    }
    const long double r2 = x * x + y * y;
    ASSERT_GT(r2, 1000000.0L);
    EXPECT_EQ(boundary_distance(c_re, c_im, count), sqrtl(r2 / (dr * dr + di * di)) * logl(r2));
  }
}

TEST(BoundaryDistance, OverflowingDerivativeGivesZeroThenNaN) {
  // At c = -2 the orbit sits on the repelling point 2 and dz/dc grows as 4^n.
  // After 5000 passes |dz/dc|^2 overflows (d = 0); after 10000 the derivative
  // itself has overflowed and inf * 0 gives NaN.
  EXPECT_EQ(boundary_distance(-2.0, 0.0, 5000), 0.0L);
  EXPECT_TRUE(std::isnan(boundary_distance(-2.0, 0.0, 10000)));
  // Below the overflow the estimate is finite and positive.
  const long double d = boundary_distance(-2.0, 0.0, 1000);
  EXPECT_GT(d, 0.0L);
  EXPECT_TRUE(std::isfinite(d));
}

}  // namespace
}  // namespace zeno
