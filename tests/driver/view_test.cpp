#include "driver/view.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "driver/limits.hpp"

namespace zeno {
namespace {

struct ViewCase {
  std::string name;
  int32_t width;
  int32_t height;
  float magnification;
  double center_y;
  bool border;
  int units;  // the spacing is this multiple of the unit; 0: 2.5 / (width * magnification)
  int32_t iteration_limit;
  int32_t border_iterations;
  std::optional<int32_t> axis_offset;  // empty: at or beyond the height (no snap)
  std::optional<double> snapped_near;  // the snapped centre, to 1e-10
  int32_t min_zoom_box_width;
};

inline void PrintTo(const ViewCase& t, std::ostream* os) { *os << t.name; }

float ceiling(int32_t width) { return max_magnification_for_width(width); }

std::vector<ViewCase> view_cases() {
  const float c800 = ceiling(800);
  return {
      // The start-up defaults at 800 x 600.
      {"worked_example", 800, 600, 0.9f, 0.11300779474, true, 0, 271, 10, 33, 0.1145833364, 2},
      {"at_the_ceiling", 800, 600, c800, 0.11300779474, true, 1, 65534, 31, std::nullopt, std::nullopt, 800},
      {"ceiling_over_1024_takes_rounded_branch", 800, 600, c800 / 1024.0f, 0.11300779474, false, 1024, 65534, 65535,
       std::nullopt, std::nullopt, 2},
      {"just_above_ceiling_over_1024", 800, 600, std::nextafter(c800 / 1024.0f, 1e30f), 0.0, false, 1024, 65534, 65535,
       0, std::nullopt, 2},
      {"just_below_ceiling_over_1024", 800, 600, std::nextafter(c800 / 1024.0f, 0.0f), 0.0, false, 0, 65534, 65535,
       0, std::nullopt, 2},
      {"640_at_ceiling_over_64", 640, 480, ceiling(640) / 64.0f, 0.0, false, 64, 65534, 65535, 0, std::nullopt, 10},
      {"negative_center_never_snaps", 800, 600, 0.9f, -0.5, false, 0, 271, 65535, -144, std::nullopt, 2},
      {"offset_height_minus_one_snaps", 800, 600, 2.0f, 0.936, false, 0, 404, 65535, 599, 0.9359375, 2},
      {"offset_equal_to_height_does_not", 800, 600, 2.0f, 0.9375, false, 0, 404, 65535, std::nullopt, std::nullopt,
       2},
      {"offset_zero_does_not_snap", 800, 600, 2.0f, 0.0007, false, 0, 404, 65535, 0, std::nullopt, 2},
      {"offset_one_snaps", 800, 600, 2.0f, 0.0015, false, 0, 404, 65535, 1, 0.0015625, 2},
      {"border_above_ten", 800, 600, 1000.0f, 0.0, true, 0, 9050, 11, 0, std::nullopt, 2},
  };
}

class ViewSetupTest : public ::testing::TestWithParam<ViewCase> {};

TEST_P(ViewSetupTest, DerivesTheView) {
  const ViewCase& t = GetParam();
  CaseParameters p;
  p.width = t.width;
  p.height = t.height;
  p.max_magnification = ceiling(t.width);
  p.magnification = t.magnification;
  p.center_y = t.center_y;
  p.border_enabled = t.border;
  p.border_width = 0.15f;
  ViewSetup v;
  v.border_distance = -7.0;  // must survive when the border is off

  derive_view(p, v);

  const double expected_spacing =
      t.units == 0 ? static_cast<double>(2.5L / (static_cast<long double>(t.width) * t.magnification))
                   : static_cast<double>(t.units * static_cast<long double>(2.22044604925e-16));
  EXPECT_EQ(v.pixel_spacing, expected_spacing);
  EXPECT_EQ(v.row_spacing, v.pixel_spacing);
  EXPECT_EQ(v.iteration_limit, t.iteration_limit);
  EXPECT_EQ(v.border_iterations, t.border_iterations);
  if (t.border)
    EXPECT_EQ(v.border_distance, static_cast<double>(0.15f * static_cast<long double>(v.pixel_spacing)));
  else
    EXPECT_EQ(v.border_distance, -7.0);
  EXPECT_EQ(v.center_column, t.width / 2);
  EXPECT_EQ(v.center_row, t.height / 2);

  if (t.axis_offset) {
    EXPECT_EQ(v.axis_offset, *t.axis_offset);
  } else {
    EXPECT_GE(v.axis_offset, t.height);
  }
  const bool snaps = v.axis_offset >= 1 && v.axis_offset < t.height;
  EXPECT_EQ(snaps, t.snapped_near.has_value());
  if (snaps) {
    EXPECT_EQ(p.center_y, static_cast<double>(v.axis_offset * static_cast<long double>(v.pixel_spacing)));
    EXPECT_NEAR(p.center_y, *t.snapped_near, 1e-10);
  } else {
    EXPECT_EQ(p.center_y, t.center_y);
  }

  set_zoom_box_defaults(p, v);
  EXPECT_EQ(v.min_zoom_box_width, t.min_zoom_box_width);
  EXPECT_EQ(v.zoom_box_width, t.width / 10);
  EXPECT_EQ(v.aspect_ratio, static_cast<float>(static_cast<double>(t.width) / t.height));
}

INSTANTIATE_TEST_SUITE_P(Cases, ViewSetupTest, ::testing::ValuesIn(view_cases()),
                         [](const auto& info) { return info.param.name; });

// The figures the worked example states, checked against their decimals.
TEST(ViewSetup, WorkedExampleFigures) {
  CaseParameters p;
  p.max_magnification = ceiling(800);
  ViewSetup v;
  derive_view(p, v);
  EXPECT_NEAR(v.pixel_spacing, 0.0034722223, 1e-10);
  EXPECT_NEAR(p.center_y, 0.1145833364, 1e-10);
  set_zoom_box_defaults(p, v);
  EXPECT_EQ(v.aspect_ratio, 1.3333334f);
  EXPECT_EQ(v.zoom_box_width, 80);
}

// The unit is the decimal 2.22044604925e-16, not 2^-52.
TEST(ViewSetup, SpacingAtTheCeilingIsTheDecimalUnit) {
  CaseParameters p;
  p.width = 1280;
  p.height = 1024;
  p.max_magnification = ceiling(1280);
  p.magnification = p.max_magnification;
  ViewSetup v;
  derive_view(p, v);
  EXPECT_EQ(v.pixel_spacing, 2.22044604925e-16);
  EXPECT_NE(v.pixel_spacing, std::ldexp(1.0, -52));
}

}  // namespace
}  // namespace zeno
