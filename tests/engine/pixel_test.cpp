// The pixel decision: quick interior tests, limit, Border, the three
// colouring rules and the index mapping; the angle table.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <ostream>
#include <vector>

#include "engine/kernel.hpp"
#include "engine/pixel.hpp"

namespace zeno {
namespace {

constexpr int32_t escape_rule = 0;
constexpr int32_t integer_rule = -1;

PixelRule rule_for(int32_t angle, int32_t last_color_index = 235, int32_t limit = 1000) {
  PixelRule rule;
  rule.iteration_limit = limit;
  rule.border_iterations = 65535;
  rule.border_distance = 0.0;
  rule.angle = angle;
  rule.last_color_index = last_color_index;
  return rule;
}

AngleTable table_for(int32_t angle) {
  AngleTable table;
  prepare_angle_table(table, angle);
  return table;
}

// A real c > 1/4 that escapes after exactly `count` passes. The count falls
// as c grows along the real axis, so bisection finds one.
double real_point_with_count(int32_t count) {
  double lo = 0.25;  // never escapes
  double hi = 1e4;   // escapes in pass 1
  for (int i = 0; i < 2000; ++i) {
    const double mid = lo + (hi - lo) / 2;
    int32_t n = 0;
    float ev = 0.0f;
    float fa = 0.0f;
    iterate_point(mid, 0.0, 65535, n, ev, fa, -1);
    if (n == count) {
      return mid;
    }
    (n > count ? lo : hi) = mid;
  }
  ADD_FAILURE() << "no real point with count " << count;
  return 0.0;
}

// --- quick interior tests and the limit ---

struct InteriorCase {
  double c_re;
  double c_im;
  uint32_t iterations;  // 0: a quick test settled it; else the limit
};

void PrintTo(const InteriorCase& p, std::ostream* os) { *os << "c = (" << p.c_re << ", " << p.c_im << ")"; }

class InteriorPoints : public ::testing::TestWithParam<InteriorCase> {};

TEST_P(InteriorPoints, GetIndexZero) {
  const InteriorCase& p = GetParam();
  for (const int32_t angle : {escape_rule, integer_rule, 45}) {
    const PixelDecision d = decide_pixel(p.c_re, p.c_im, rule_for(angle, 235, 777), table_for(angle));
    EXPECT_EQ(d.index, 0) << angle;
    EXPECT_EQ(d.iterations, p.iterations) << angle;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Engine, InteriorPoints,
    ::testing::Values(InteriorCase{0.0, 0.0, 0},       // cardioid
                      InteriorCase{-1.0, 0.0, 0},      // period-2 disk
                      InteriorCase{0.25, 0.0, 0},      // the cusp: r = 0
                      InteriorCase{0.25, 1e-200, 0},   // c_im^2 rounds to 0 in binary64
                      InteriorCase{-0.1, 0.6, 0},      // inside the cardioid
                      InteriorCase{-1.1, 0.2, 0},      // inside the disk
                      // Exactly on the cardioid and disk boundary: both strict tests fail.
                      InteriorCase{-0.75, 0.0, 777},
                      InteriorCase{-1.25, 0.0, 777},   // on the disk's edge
                      InteriorCase{-2.0, 0.0, 777},
                      InteriorCase{-0.1226, 0.7449, 777}));  // the period-3 bulb

struct EdgePoint {
  double c_re;
  double c_im;
  bool quick;  // settled by a quick test
};

void PrintTo(const EdgePoint& p, std::ostream* os) {
  *os << std::hexfloat << "(" << p.c_re << ", " << p.c_im << ")" << std::defaultfloat;
}

class QuickTestEdges : public ::testing::TestWithParam<EdgePoint> {};

TEST_P(QuickTestEdges, UseTheStoredBinary64Values) {
  // Points on the edge of the cardioid or the disk (found by search) whose
  // outcome depends on r and y2 being rounded to binary64 where stored, and
  // on y2 being the extended product rounded once.
  const EdgePoint& p = GetParam();
  const PixelDecision d = decide_pixel(p.c_re, p.c_im, rule_for(integer_rule, 235, 777), AngleTable{});
  if (p.quick) {
    EXPECT_EQ(d.iterations, 0u);
  } else {
    EXPECT_GT(d.iterations, 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Engine, QuickTestEdges,
    ::testing::Values(
        // r rounded to binary64 in the cardioid test
        EdgePoint{0x1.5657d71c59eefp-2, 0x1.10572e3cb4dc2p-4, true},
        EdgePoint{0x1.466064057c4c5p-2, 0x1.725004b400643p-5, true},
        EdgePoint{0x1.7be66d5806c22p-2, 0x1.133666e818affp-2, false},
        EdgePoint{-0x1.46bfcc54ae67bp-1, 0x1.79c55ca353c34p-2, false},
        // y2 rounded to binary64 (cardioid, then disk)
        EdgePoint{0x1.7693e5cb874f4p-2, 0x1.20033438563e4p-3, false},
        EdgePoint{-0x1.219c61cf56f49p-2, 0x1.417ccfc6041fdp-1, false},
        EdgePoint{-0x1.8accda1e80e8dp-1, 0x1.9baf97d334c9fp-4, true},
        EdgePoint{-0x1.dd77f16db4cd8p-1, 0x1.ed04374fa1efcp-3, true},
        EdgePoint{-0x1.b18d6322420a8p-1, 0x1.9492b0a1cfbf4p-3, false},
        // y2 as the extended product rounded once, not a binary64 product
        EdgePoint{0x1.3698a60d30109p-2, 0x1.dab7f902e5f86p-6, true},
        EdgePoint{-0x1.203669f0fd2cdp+0, 0x1.ba6b3d55daf8fp-3, false},
        EdgePoint{-0x1.e17515fbff635p-1, 0x1.f135e891716fcp-3, true}));

TEST(Decide, EscapeAtTheLastAllowedPassCountsAsInterior) {
  // c = 2 escapes in pass 3; with a limit of 3 the count equals the limit.
  const PixelDecision d = decide_pixel(2.0, 0.0, rule_for(integer_rule, 235, 3), AngleTable{});
  EXPECT_EQ(d.index, 0);
  EXPECT_EQ(d.iterations, 3u);
  EXPECT_EQ(decide_pixel(2.0, 0.0, rule_for(integer_rule, 235, 4), AngleTable{}).index, 3);
}

TEST(Decide, LimitOfOne) {
  // Every point reaching the kernel makes one pass and counts as interior.
  for (const double c : {2.0, 1000.0, -0.75}) {
    const PixelDecision d = decide_pixel(c, 0.0, rule_for(escape_rule, 235, 1), AngleTable{});
    EXPECT_EQ(d.index, 0) << c;
    EXPECT_EQ(d.iterations, 1u) << c;
  }
}

// --- the worked point c = 2 (count 3, escape value 0.1367, angle 0) ---

struct RuleCase {
  int32_t angle;
  int32_t last_color_index;
  uint8_t index;
};

void PrintTo(const RuleCase& p, std::ostream* os) { *os << "angle " << p.angle << ", last index " << p.last_color_index; }

class PointTwo : public ::testing::TestWithParam<RuleCase> {};

TEST_P(PointTwo, Index) {
  const RuleCase& p = GetParam();
  const PixelDecision d = decide_pixel(2.0, 0.0, rule_for(p.angle, p.last_color_index), table_for(p.angle));
  EXPECT_EQ(d.index, p.index);
  EXPECT_EQ(d.iterations, 3u);
}

INSTANTIATE_TEST_SUITE_P(Engine, PointTwo,
                         ::testing::Values(RuleCase{integer_rule, 235, 3}, RuleCase{integer_rule, 15, 3},
                                           RuleCase{escape_rule, 235, 1}, RuleCase{escape_rule, 15, 1},
                                           RuleCase{360, 235, 1}, RuleCase{360, 15, 1}));

// --- Border ---

TEST(Border, DistanceBelowThresholdMarksTheBorderColour) {
  // c = 2: count 3, distance 4.53824.
  for (const int32_t angle : {escape_rule, integer_rule, 360}) {
    PixelRule rule = rule_for(angle, 235);
    rule.border_iterations = 2;
    rule.border_distance = 4.54;
    EXPECT_EQ(decide_pixel(2.0, 0.0, rule, table_for(angle)).index, 235) << angle;
    rule.last_color_index = 15;
    EXPECT_EQ(decide_pixel(2.0, 0.0, rule, table_for(angle)).index, 15) << angle;
    // Above the threshold the colouring rule decides.
    rule.border_distance = 4.53;
    EXPECT_EQ(decide_pixel(2.0, 0.0, rule, table_for(angle)).index, angle == integer_rule ? 3 : 1) << angle;
    // Only counts above border_iterations are tested.
    rule.border_distance = 4.54;
    rule.border_iterations = 3;
    EXPECT_NE(decide_pixel(2.0, 0.0, rule, table_for(angle)).index, 15) << angle;
  }
}

TEST(Border, ComparesTheExtendedEstimateWithTheBinary64Threshold) {
  // A threshold equal to the estimate rounded to binary64 sits on one side of
  // the extended value; the comparison must use the extended value.
  const long double d = boundary_distance(2.0, 0.0, 3);
  const double rounded = static_cast<double>(d);
  ASSERT_NE(static_cast<long double>(rounded), d);
  PixelRule rule = rule_for(integer_rule, 235);
  rule.border_iterations = 2;
  rule.border_distance = rounded;
  const bool below = d < static_cast<long double>(rounded);
  EXPECT_EQ(decide_pixel(2.0, 0.0, rule, AngleTable{}).index, below ? 235 : 3);
  rule.border_distance = below ? std::nextafter(rounded, 0.0) : std::nextafter(rounded, 10.0);
  EXPECT_EQ(decide_pixel(2.0, 0.0, rule, AngleTable{}).index, below ? 3 : 235);
}

// --- Escape rule ---

TEST(EscapeRule, EscapeValueOfExactlyFour) {
  // Found by bisection: count 7 and an escape value of exactly 4.0f,
  // so f = (4 - 0.25) / 32 = 0.1171875.
  const double c = 0x1.ed236ae7d5504p-2;
  int32_t count = 0;
  float ev = 0.0f;
  float fa = 0.0f;
  iterate_point(c, 0.0, 1000, count, ev, fa, 0);
  ASSERT_EQ(ev, 4.0f);
  ASSERT_EQ(count, 7);
  EXPECT_EQ(decide_pixel(c, 0.0, rule_for(escape_rule, 235), AngleTable{}).index, 28);
  EXPECT_EQ(decide_pixel(c, 0.0, rule_for(escape_rule, 15), AngleTable{}).index, 2);
}

// Expected indices from an exact rational model of the roundings, given the
// kernel's binary32 escape value (checked first).
struct EscapeCase {
  double c_re;
  double c_im;
  float escape_value;
  int index_236;
  int index_16;
};

void PrintTo(const EscapeCase& p, std::ostream* os) { *os << "c = (" << p.c_re << ", " << p.c_im << ")"; }

class EscapeRulePieces : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(EscapeRulePieces, Index) {
  const EscapeCase& p = GetParam();
  int32_t count = 0;
  float ev = 0.0f;
  float fa = 0.0f;
  iterate_point(p.c_re, p.c_im, 65534, count, ev, fa, 0);
  ASSERT_EQ(ev, p.escape_value);
  EXPECT_EQ(decide_pixel(p.c_re, p.c_im, rule_for(escape_rule, 235, 65534), AngleTable{}).index, p.index_236);
  EXPECT_EQ(decide_pixel(p.c_re, p.c_im, rule_for(escape_rule, 15, 65534), AngleTable{}).index, p.index_16);
}

INSTANTIATE_TEST_SUITE_P(
    Engine, EscapeRulePieces,
    ::testing::Values(
        // nu <= 0.25
        EscapeCase{1000.0, 0.0, -0x1.64e7b6p+1f, 1, 1},
        EscapeCase{2.0, 0.0, 0x1.180d5p-3f, 1, 1},
        // 0.25 < nu <= 4: (nu - 0.25) / 32
        EscapeCase{1.0, 0.0, 0x1.4baf46p+0f, 8, 1},
        EscapeCase{0.6, 0.0, 0x1.6d69fep+1f, 20, 2},
        EscapeCase{0.5, 0.5, 0x1.d04aeep+1f, 25, 2},
        // 4 < nu <= 256: (sqrt(nu) - 1.0625) / 8
        EscapeCase{0.45, 0.0, 0x1.1e22c8p+2f, 31, 2},
        EscapeCase{0.3, 0.6, 0x1.b507dcp+3f, 78, 5},
        EscapeCase{-0.75, 0.1, 0x1.ff40dcp+4f, 135, 9},
        EscapeCase{-0.1011, 0.9563, 0x1.2ba06ep+5f, 148, 9},
        // nu > 256: ln(nu) - 3.67799
        EscapeCase{-0.75, 0.01, 0x1.39dd0cp+8f, 17, 1},
        EscapeCase{0x1.001a36e2eb1c4p-2, 0.0, 0x1.372a7cp+8f, 15, 1}));

TEST(EscapeRule, IndicesStayInTheShadesForLargeEscapeValues) {
  // Near the cusp the escape values run into the thousands (the ln piece).
  for (const int32_t count : {100, 300, 2000, 30000, 65000}) {
    const double c = real_point_with_count(count);
    for (const int32_t last : {15, 235}) {
      const PixelDecision d = decide_pixel(c, 0.0, rule_for(escape_rule, last, 65534), AngleTable{});
      EXPECT_GE(d.index, 1);
      EXPECT_LE(d.index, last - 1);
    }
  }
}

// --- Integer rule ---

TEST(IntegerRule, IndicesCycleThroughTheShades) {
  for (const int32_t last : {15, 235}) {
    const int32_t shades = last - 1;
    std::vector<int32_t> counts;
    for (int32_t k = 1; k <= 2 * shades + 2; ++k) {
      counts.push_back(k);
    }
    for (const int32_t k : {1000, 4095, 32767, 65533}) {
      counts.push_back(k);
    }
    for (const int32_t k : counts) {
      const double c = real_point_with_count(k);
      const PixelDecision d = decide_pixel(c, 0.0, rule_for(integer_rule, last, 65534), AngleTable{});
      ASSERT_EQ(d.iterations, static_cast<uint32_t>(k));
      EXPECT_EQ(d.index, 1 + (k - 1) % shades) << "count " << k << " colours " << last + 1;
    }
  }
}

// --- Azimuthal rule ---

TEST(AzimuthalRule, MoreThanFiveHundredPassesGetTheLastIndex) {
  for (const int32_t angle : {1, 45, 100, 360}) {
    for (const int32_t last : {15, 235}) {
      const AngleTable table = table_for(angle);
      EXPECT_NE(decide_pixel(real_point_with_count(500), 0.0, rule_for(angle, last), table).index, last);
      EXPECT_EQ(decide_pixel(real_point_with_count(501), 0.0, rule_for(angle, last), table).index, last);
      EXPECT_EQ(decide_pixel(real_point_with_count(900), 0.0, rule_for(angle, last), table).index, last);
    }
  }
  // Other rules colour such points normally.
  EXPECT_EQ(decide_pixel(real_point_with_count(501), 0.0, rule_for(integer_rule), AngleTable{}).index,
            1 + 500 % 234);
}

// Real points end on the positive real axis (final angle +0), so the index
// follows from the angle table alone. Expected values come from an exact
// rational model of the roundings (extended, binary64, binary32).
struct AzimuthalCase {
  int32_t angle;
  std::vector<int> index_236;  // counts 1..11
  std::vector<int> index_16;
};

void PrintTo(const AzimuthalCase& p, std::ostream* os) { *os << "angle " << p.angle; }

class AzimuthalOnRealAxis : public ::testing::TestWithParam<AzimuthalCase> {};

TEST_P(AzimuthalOnRealAxis, IndexPerCount) {
  const AzimuthalCase& p = GetParam();
  const AngleTable table = table_for(p.angle);
  for (int32_t count = 1; count <= 11; ++count) {
    const double c = real_point_with_count(count);
    EXPECT_EQ(decide_pixel(c, 0.0, rule_for(p.angle, 235), table).index, p.index_236[count - 1])
        << "count " << count;
    EXPECT_EQ(decide_pixel(c, 0.0, rule_for(p.angle, 15), table).index, p.index_16[count - 1])
        << "count " << count;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Engine, AzimuthalOnRealAxis,
    ::testing::Values(
        // 100 degrees: count 2 wraps (start - 2 start < 0) and lands a hair
        // below a shade boundary (f = 0.72222221, 169.99999 -> 169).
        AzimuthalCase{100, {1, 169, 39, 13, 195, 91, 117, 169, 39, 13, 195}, {1, 11, 3, 1, 12, 6, 7, 11, 3, 1, 12}},
        AzimuthalCase{7, {1, 230, 221, 203, 166, 93, 182, 125, 10, 15, 26}, {1, 14, 14, 13, 10, 6, 11, 8, 1, 1, 2}},
        AzimuthalCase{359, {1, 1, 2, 5, 10, 21, 41, 83, 166, 99, 197}, {1, 1, 1, 1, 1, 2, 3, 5, 10, 6, 12}},
        AzimuthalCase{1, {1, 234, 233, 230, 225, 214, 194, 152, 69, 136, 38}, {1, 14, 14, 14, 14, 13, 12, 10, 5, 9, 3}},
        AzimuthalCase{45, {1, 205, 147, 30, 30, 30, 30, 30, 30, 30, 30}, {1, 13, 9, 2, 2, 2, 2, 2, 2, 2, 2}},
        AzimuthalCase{90, {1, 176, 59, 59, 59, 59, 59, 59, 59, 59, 59}, {1, 11, 4, 4, 4, 4, 4, 4, 4, 4, 4}},
        AzimuthalCase{180, {1, 118, 118, 118, 118, 118, 118, 118, 118, 118, 118}, {1, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8}},
        AzimuthalCase{360, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}}));

TEST(AzimuthalRule, CountOfOneUsesTheFinalAngleAlone) {
  // z1 = -1e6 +- 1000i: the angle is just below / above pi, f = angle / full_turn
  // whatever the start angle.
  for (const int32_t angle : {1, 45, 100, 359}) {
    const AngleTable table = table_for(angle);
    EXPECT_EQ(decide_pixel(0.0, 1000.0, rule_for(angle, 235), table).index, 117) << angle;
    EXPECT_EQ(decide_pixel(0.0, -1000.0, rule_for(angle, 235), table).index, 118) << angle;
    EXPECT_EQ(decide_pixel(0.0, 1000.0, rule_for(angle, 15), table).index, 7) << angle;
    EXPECT_EQ(decide_pixel(0.0, -1000.0, rule_for(angle, 15), table).index, 8) << angle;
  }
}

// --- the angle table ---

struct AngleTableCase {
  int32_t angle;
  double theta;            // exact binary64 start angle
  size_t first_zero;       // entries from here to 500 are 0
};

void PrintTo(const AngleTableCase& p, std::ostream* os) { *os << "angle " << p.angle; }

class AngleTables : public ::testing::TestWithParam<AngleTableCase> {};

TEST_P(AngleTables, DoublingThenZeros) {
  const AngleTableCase& p = GetParam();
  AngleTable table;
  build_angle_table(table, p.angle);
  EXPECT_EQ(table.table_angle, p.angle);
  EXPECT_EQ(table.start_angle, p.theta);
  EXPECT_EQ(table.entry[1], p.theta);
  for (size_t k = 2; k < p.first_zero; ++k) {
    const long double doubled = 2.0L * table.entry[k - 1];
    const long double expected = doubled >= full_turn ? doubled - full_turn : doubled;
    EXPECT_EQ(static_cast<long double>(table.entry[k]), expected) << k;
    EXPECT_GT(table.entry[k], 0.0) << k;
  }
  for (size_t k = p.first_zero; k <= 500; ++k) {
    EXPECT_EQ(table.entry[k], 0.0) << k;
  }
}

INSTANTIATE_TEST_SUITE_P(Engine, AngleTables,
                         ::testing::Values(AngleTableCase{45, 0x1.921fb5e7a54fap-1, 5},
                                           AngleTableCase{90, 0x1.921fb5e7a54fap+0, 4},
                                           AngleTableCase{180, 0x1.921fb5e7a54fap+1, 3},
                                           AngleTableCase{360, 0.0, 2}));

TEST(AngleTable, FortyFiveDegreesEndsWithASmallRemainder) {
  AngleTable table;
  build_angle_table(table, 45);
  EXPECT_EQ(table.entry[4], 0x1.46b9c34p-23);  // 8 theta - full_turn
  EXPECT_EQ(static_cast<long double>(table.entry[4]), 8.0L * table.start_angle - full_turn);
}

TEST(AngleTable, OtherAnglesKeepDoublingModuloATurn) {
  for (const auto& [angle, theta] : {std::pair{1, 0x1.1df46a99591c3p-6}, std::pair{7, 0x1.f46bba8c5bf15p-4},
                                     std::pair{100, 0x1.becde68f9b3c1p+0}, std::pair{359, 0x1.9101c17d0bf68p+2}}) {
    AngleTable table;
    build_angle_table(table, angle);
    EXPECT_EQ(table.start_angle, theta) << angle;
    for (size_t k = 2; k <= 500; ++k) {
      const long double expected = fmodl(2.0L * table.entry[k - 1], full_turn);
      ASSERT_EQ(static_cast<long double>(table.entry[k]), expected) << angle << " entry " << k;
      ASSERT_GE(table.entry[k], 0.0);
      ASSERT_LT(table.entry[k], full_turn);
    }
  }
}

TEST(AngleTable, InitialStateIsTheTableFor360) {
  AngleTable fresh;
  AngleTable built;
  build_angle_table(built, 360);
  EXPECT_EQ(fresh.table_angle, built.table_angle);
  EXPECT_EQ(fresh.start_angle, built.start_angle);
  EXPECT_EQ(fresh.entry, built.entry);
}

TEST(AngleTable, PrepareRebuildsOnlyForANewAzimuthalAngle) {
  AngleTable table;
  prepare_angle_table(table, 45);
  EXPECT_EQ(table.table_angle, 45);
  const AngleTable for_45 = table;
  // Escape and Integer leave the table alone.
  prepare_angle_table(table, 0);
  prepare_angle_table(table, -1);
  EXPECT_EQ(table.table_angle, 45);
  EXPECT_EQ(table.entry, for_45.entry);
  prepare_angle_table(table, 100);
  EXPECT_EQ(table.table_angle, 100);
  EXPECT_EQ(table.start_angle, 0x1.becde68f9b3c1p+0);
}

}  // namespace
}  // namespace zeno
