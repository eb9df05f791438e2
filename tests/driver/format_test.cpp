// The number layouts and the number reader.

#include "driver/format.hpp"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace zeno {
namespace {

// The start-up view at 800 x 600: the centre after the real-axis snap, as the
// view setup computes it (spacing 2.5 / (800 * 0.9f) in extended precision,
// stored as double; 33 rows of it, stored as double).
double snapped_default_center_y() {
  const double spacing = static_cast<double>(2.5L / (800 * static_cast<long double>(0.9f)));
  return static_cast<double>(33 * static_cast<long double>(spacing));
}

// The magnification ceiling 11258999068427828 / width, stored in single precision.
float ceiling_for(int width) {
  return static_cast<float>(11258999068427828.0L / width);
}

// ---------------------------------------------------------------------------
// Fixed(w, d)

struct FixedCase {
  long double value;
  int width;
  int decimals;
  const char* expected;
};

TEST(FixedLayout, Table) {
  const FixedCase cases[] = {
      // Run log and title pieces of the start-up case.
      {-0.7454298994, 17, 13, "  -.7454298994000"},
      {snapped_default_center_y(), 17, 13, "   .1145833363688"},
      {-0.7454298994, 15, 12, " -.745429899400"},
      {snapped_default_center_y(), 15, 12, "  .114583336369"},
      {0.9f, 10, 5, "    .90000"},  // 0.89999998 rounds up to .90000
      // No digit before the point when the integer part is zero.
      {-0.75, 4, 2, "-.75"},
      {-0.75, 5, 2, " -.75"},
      {0.0L, 6, 2, "   .00"},
      // A value that rounds to zero carries no sign.
      {-0.001, 6, 2, "   .00"},
      {-0.0L, 6, 2, "   .00"},
      // Seconds of the timing line, Fixed(4, 1).
      {23.4, 4, 1, "23.4"},
      {3.45, 4, 1, " 3.5"},   // 3.4500000000000002: a following 5 rounds up
      {0.25, 4, 1, "  .3"},   // exactly half: away from zero
      {-0.25, 4, 1, " -.3"},
      {0.05, 4, 1, "  .1"},   // the rounding digit is the first digit
      {0.04, 4, 1, "  .0"},
      {59.96, 4, 1, "60.0"},  // carry into a new leading digit
      {9.96, 4, 1, "10.0"},
      {0.96, 4, 1, " 1.0"},   // carry out of the fraction: a digit before the point
      // Does not fit: asterisks over the whole field.
      {99.96, 4, 1, "****"},
      {-0.75, 3, 2, "***"},
      {12345.0, 4, 0, "****"},
      {1e30L, 10, 2, "**********"},
      {std::numeric_limits<long double>::infinity(), 6, 2, "******"},
      {std::numeric_limits<long double>::quiet_NaN(), 6, 2, "******"},
      // No decimals.
      {99999.4, 6, 0, "99999."},
      {0.4, 3, 0, " 0."},
      // Digits past the 17th significant digit are 0.
      {123456789012345678901.0L, 25, 2, " 123456789012345680000.00"},
      {0.1234567890123456789L, 22, 20, " .12345678901234568000"},
  };
  for (const FixedCase& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(fixed_layout(c.value, c.width, c.decimals), c.expected);
  }
}

TEST(FixedLayout, RoundsTheSeventeenDigitText) {
  // 0.14499999999999999999 in extended precision is 0.14500000000000000 to 17
  // digits, so it rounds up at two decimals; the exact value would give .14.
  EXPECT_EQ(fixed_layout(0.14499999999999999999L, 4, 2), " .15");
  EXPECT_EQ(fixed_layout(0.14499999999999990000L, 4, 2), " .14");
}

// ---------------------------------------------------------------------------
// Integer(w)

struct IntegerCase {
  int64_t value;
  int width;
  const char* expected;
};

TEST(IntegerLayout, Table) {
  const IntegerCase cases[] = {
      {271, 6, "   271"},            // iteration limit
      {35712044, 11, "   35712044"},  // iteration total
      {0, 4, "   0"},                // hours
      {1, 2, " 1"},                   // minutes below 10: a blank, not a zero
      {-99999, 6, "-99999"},
      {-100000, 6, "******"},
      {1234567, 6, "******"},
      {99999999999, 11, "99999999999"},
      {100000000000, 11, "***********"},
  };
  for (const IntegerCase& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(integer_layout(c.value, c.width), c.expected);
  }
}

// ---------------------------------------------------------------------------
// General(w, d): General(14, 5) in the run log, General(11, 3) in the title.

struct GeneralCase {
  long double value;
  const char* run_log;  // General(14, 5)
  const char* title;    // General(11, 3)
};

TEST(GeneralLayout, Table) {
  const GeneralCase cases[] = {
      {0.9f, "    .90000    ", "   .900    "},
      {0.125f, "    .12500    ", "   .125    "},
      {12.5f, "    12.500    ", "   12.5    "},
      {123456.7f, "    .12346E+06", "  1.235E+05"},
      // Rounded to d digits and below 10^d: fixed; 10^d or more: exponent.
      {99999.4f, "    99999.    ", "  1.000E+05"},
      {99999.6f, "    .10000E+06", "  1.000E+05"},
      {1000.0f, "    1000.0    ", "  1.000E+03"},
      {999.4f, "    999.40    ", "   999.    "},
      // 999.6 rounds to 1000 at three digits: exponent form, which then shows
      // four digits.
      {999.6f, "    999.60    ", "  9.996E+02"},
      {99.96, "    99.960    ", "   100.    "},
      // Rounding up to 0.1 reaches the fixed form.
      {0.0999996, "    .10000    ", "   .100    "},
      {0.05, "    .50000E-01", "  5.000E-02"},
      // The magnification ceilings.
      {ceiling_for(640), "    .17592E+14", "  1.759E+13"},
      {ceiling_for(1280), "    .87961E+13", "  8.796E+12"},
  };
  for (const GeneralCase& c : cases) {
    SCOPED_TRACE(c.run_log);
    EXPECT_EQ(general_layout(c.value, 14, 5, GeneralStyle::run_log), c.run_log);
    EXPECT_EQ(general_layout(c.value, 11, 3, GeneralStyle::title), c.title);
  }
}

TEST(GeneralLayout, NotFiniteFillsTheField) {
  EXPECT_EQ(general_layout(std::numeric_limits<long double>::infinity(), 14, 5, GeneralStyle::run_log),
            "**************");
  EXPECT_EQ(general_layout(std::numeric_limits<long double>::quiet_NaN(), 11, 3, GeneralStyle::title),
            "***********");
}

// ---------------------------------------------------------------------------
// The general real form of the dialog's view boxes, and reading it back.

struct DoubleFormCase {
  double value;
  const char* expected;
  double reads_back_as;
};

TEST(GeneralRealForm, DoubleTable) {
  const DoubleFormCase cases[] = {
      {-0.7454298994, "-7.454298994000000E-001", -0.7454298994},
      {0.11300779474, "1.130077947400000E-001", 0.11300779474},
      {0.5, "5.000000000000000E-001", 0.5},
      {0.0, "0.000000000000000E+000", 0.0},
      {-0.0, "0.000000000000000E+000", 0.0},
      {-2.0, "-2.000000000000000", -2.0},
      {0.75, "7.500000000000000E-001", 0.75},
      {-1.5, "-1.500000000000000", -1.5},
      {1.0, "1.000000000000000", 1.0},
      // Seven digits before the point is still the fixed form; the places
      // past the 16th significant digit are zeros.
      {1234567.125, "1234567.125000000000000", 1234567.125},
      {1e7, "1.000000000000000E+007", 1e7},
      {1.0 / 3, "3.333333333333333E-001", 0.3333333333333333},
      // Carries: through the digits, and into a new leading digit
      // (1e-7 is 9.9999999999999995e-8 to 17 digits, 1e24 is
      // 9.9999999999999998e23). 1e23 is 9.9999999999999992e22: no carry.
      {1.9999999999999998, "2.000000000000000", 2.0},
      {1e-7, "1.000000000000000E-007", 1e-7},
      {1e24, "1.000000000000000E+024", 1e24},
      {1e23, "9.999999999999999E+022", 9.999999999999999e22},
      // 0.22489067655901284759 is 0.22489067655901285 to 17 digits, which
      // rounds up at the 16th.
      {0.22489067655901285, "2.248906765590129E-001", 0.2248906765590129},
      {5e-324, "4.940656458412465E-324", 4.940656458412465e-324},
      {DBL_MAX, "1.797693134862316E+308", std::numeric_limits<double>::infinity()},
  };
  for (const DoubleFormCase& c : cases) {
    SCOPED_TRACE(c.expected);
    const std::string text = general_real_form(c.value);
    EXPECT_EQ(text, c.expected);
    double back = 12345.0;
    if (std::isinf(c.reads_back_as)) {
      // Rounded up past the largest double: refused, the field keeps its value.
      EXPECT_FALSE(read_double(text, back));
      EXPECT_EQ(back, 12345.0);
    } else {
      ASSERT_TRUE(read_double(text, back));
      EXPECT_EQ(back, c.reads_back_as);
    }
  }
}

struct FloatFormCase {
  float value;
  const char* expected;
  float reads_back_as;
};

TEST(GeneralRealForm, FloatTable) {
  const FloatFormCase cases[] = {
      {0.9f, "9.000000E-01", 0.9f},
      {12.5f, "12.500000", 12.5f},
      {1e8f, "1.000000E+08", 1e8f},
      {0.125f, "1.250000E-01", 0.125f},
      {1.0f, "1.000000", 1.0f},
      {-3.0f, "-3.000000", -3.0f},
      {0.0f, "0.000000E+00", 0.0f},
      {-0.0f, "0.000000E+00", 0.0f},
      {9999999.0f, "9999999.000000", 9999999.0f},
      {1e7f, "1.000000E+07", 1e7f},
      // Seven digits come from the value, the rest of the places are zeros.
      {99999.99f, "99999.990000", 99999.99f},   // 99999.9921875
      {9.999999f, "9.999999", 9.999999f},       // 9.9999990463
      {0.99999994f, "9.999999E-01", 0.9999999f},
      // A carry through the digits ...
      {1.9999999f, "2.000000", 2.0f},  // 1.99999988
      // ... and into a new leading digit, raising the exponent: 1e-4 and
      // 0.01 are 9.9999997e-5 and 9.9999998e-3 in single precision.
      {1e-4f, "1.000000E-04", 1e-4f},
      {0.01f, "1.000000E-02", 0.01f},
  };
  for (const FloatFormCase& c : cases) {
    SCOPED_TRACE(c.expected);
    const std::string text = general_real_form(c.value);
    EXPECT_EQ(text, c.expected);
    float back = 12345.0f;
    ASSERT_TRUE(read_float(text, back));
    EXPECT_EQ(back, c.reads_back_as);
  }
}

// A magnification clamped to its ceiling shows 7 digits. For the widths 640,
// 800 and 1024 the text reads back above the ceiling; for 1280 exactly on it.
struct CeilingCase {
  int width;
  const char* expected;
  bool reads_back_above;
};

TEST(GeneralRealForm, MagnificationCeilings) {
  const CeilingCase cases[] = {
      {640, "1.759219E+13", true},
      {800, "1.407375E+13", true},
      {1024, "1.099512E+13", true},
      {1280, "8.796093E+12", false},
  };
  for (const CeilingCase& c : cases) {
    SCOPED_TRACE(c.width);
    const float ceiling = ceiling_for(c.width);
    const std::string text = general_real_form(ceiling);
    EXPECT_EQ(text, c.expected);
    float back = 0.0f;
    ASSERT_TRUE(read_float(text, back));
    if (c.reads_back_above) {
      EXPECT_GT(back, ceiling);
    } else {
      EXPECT_EQ(back, ceiling);
    }
  }
}

// ---------------------------------------------------------------------------
// The width and angle boxes.

TEST(DialogBoxes, WidthBox) {
  const struct {
    float value;
    const char* expected;
  } cases[] = {
      {0.15f, "   .15"}, {1.5f, "  1.50"},   {9.0f, "  9.00"},    {-1000.0f, "******"},
      {-0.5f, "  -.50"}, {0.0f, "   .00"},   {999.99f, "999.99"}, {999.996f, "******"},
      {-99.99f, "-99.99"}, {std::numeric_limits<float>::infinity(), "******"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(width_box_text(c.value), c.expected);
  }
  // What the width box shows reads back.
  float back = 0.0f;
  ASSERT_TRUE(read_float(width_box_text(0.15f), back));
  EXPECT_EQ(back, 0.15f);
}

TEST(DialogBoxes, AngleBox) {
  const struct {
    int32_t value;
    const char* expected;
  } cases[] = {
      {0, "     0"}, {-1, "    -1"}, {270, "   270"}, {45, "    45"}, {360, "   360"},
      {-99999, "-99999"}, {INT32_MAX, "******"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    const std::string text = angle_box_text(c.value);
    EXPECT_EQ(text, c.expected);
    int32_t back = 12345;
    if (text[0] != '*') {
      ASSERT_TRUE(read_int32(text, back));
      EXPECT_EQ(back, c.value);
    }
  }
}

// ---------------------------------------------------------------------------
// The number reader.

// A text of 127 blanks followed by `tail`: only the first character of
// `tail` is inside the 128 characters the reader looks at.
std::string at_column_128(const std::string& tail) { return std::string(127, ' ') + tail; }

struct RealReadCase {
  std::string text;
  bool accepted;
  double value;  // when accepted
};

TEST(NumberReader, DoubleTable) {
  const RealReadCase cases[] = {
      {"1.5", true, 1.5},
      {"   1.5", true, 1.5},
      {"1.5   ", true, 1.5},
      {"\t1.5", true, 1.5},
      {"+2", true, 2.0},
      {"-.5", true, -0.5},
      {"5.", true, 5.0},
      {".5e1", true, 5.0},
      {"1e3", true, 1000.0},
      {"1E+03", true, 1000.0},
      {"2.5e-3", true, 0.0025},
      {"-7.454298994000000E-001", true, -0.7454298994},
      {"007", true, 7.0},
      {"0.1000000000000000055511151231257827", true, 0.1},
      {"1e-400", true, 0.0},   // too small: zero
      {"-1e-400", true, -0.0},
      {"1e308", true, 1e308},
      {at_column_128("7x"), true, 7.0},  // the x lies past the cut
      {"", false, 0},
      {"    ", false, 0},
      {"abc", false, 0},
      {"1,5", false, 0},
      {"1.5x", false, 0},
      {"1.5 2", false, 0},
      {"1..2", false, 0},
      {"--1", false, 0},
      {"+-1", false, 0},
      {"- 1", false, 0},
      {".", false, 0},
      {"-", false, 0},
      {"+.e1", false, 0},
      {"e5", false, 0},
      {"1e", false, 0},
      {"1e+", false, 0},
      {"1e 5", false, 0},
      {"1d5", false, 0},
      {"inf", false, 0},
      {"-Infinity", false, 0},
      {"nan", false, 0},
      {"0x10", false, 0},
      {"1e400", false, 0},     // too large for a double
      {"-1e99999999999999999999", false, 0},
      {std::string("1.5\0", 4), false, 0},
      {at_column_128(" 5"), false, 0},  // the number lies past the cut
  };
  for (const RealReadCase& c : cases) {
    SCOPED_TRACE("\"" + c.text + "\"");
    double out = 12345.0;
    EXPECT_EQ(read_double(c.text, out), c.accepted);
    if (c.accepted) {
      EXPECT_EQ(out, c.value);
      EXPECT_EQ(std::signbit(out), std::signbit(c.value));
    } else {
      EXPECT_EQ(out, 12345.0);  // untouched
    }
  }
}

TEST(NumberReader, FloatTable) {
  const struct {
    const char* text;
    bool accepted;
    float value;
  } cases[] = {
      {"9.000000E-01", true, 0.9f},
      {"0.15", true, 0.15f},
      {"3.4028235e38", true, FLT_MAX},
      {"1e-50", true, 0.0f},
      {"1e39", false, 0},
      {"3.4028236e38", false, 0},  // rounds past the largest float
      {"1e308", false, 0},
      {"nan", false, 0},
      // Just above the halfway point between 1 and the next float: read
      // directly it rounds up; through a double it would land on the
      // halfway point and round to even, 1.
      {"1.0000000596046448", true, 1.00000012f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    float out = 12345.0f;
    EXPECT_EQ(read_float(c.text, out), c.accepted);
    EXPECT_EQ(out, c.accepted ? c.value : 12345.0f);
  }
}

TEST(NumberReader, Int32Table) {
  const struct {
    std::string text;
    bool accepted;
    int32_t value;
  } cases[] = {
      {"     0", true, 0},
      {"    -1", true, -1},
      {"   270", true, 270},
      {"+45", true, 45},
      {"45   ", true, 45},
      {"-0", true, 0},
      {"2147483647", true, INT32_MAX},
      {"-2147483648", true, INT32_MIN},
      {"000000000000000000000000000000725", true, 725},
      {at_column_128("9.5"), true, 9},
      {"2147483648", false, 0},
      {"-2147483649", false, 0},
      {"99999999999999999999999", false, 0},
      {"1.5", false, 0},  // a fraction
      {"45.", false, 0},
      {"1e3", false, 0},
      {"", false, 0},
      {"   ", false, 0},
      {"-", false, 0},
      {"abc", false, 0},
      {"12 3", false, 0},
      {"0x10", false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("\"" + c.text + "\"");
    int32_t out = 12345;
    EXPECT_EQ(read_int32(c.text, out), c.accepted);
    EXPECT_EQ(out, c.accepted ? c.value : 12345);
  }
}

}  // namespace
}  // namespace zeno
