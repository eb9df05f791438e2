#include "engine/pixel.hpp"

#include <cmath>

#include "engine/fpu.hpp"
#include "engine/kernel.hpp"
#include "engine/kernel_fast.hpp"
#include "platform/runtime.hpp"

namespace zeno {

namespace {

// 1/360 held as a binary32 value.
constexpr float degree_fraction = 1.0f / 360.0f;
// The binary64 reciprocal of full_turn.
constexpr double turn_reciprocal = 0.15915494309137826;

// Largest count the Azimuthal rule colours; the angle table has one entry per pass.
constexpr int32_t azimuthal_passes = 500;

// The colour fraction of the Escape rule from the escape value nu.
float escape_fraction(float nu) {
  const long double v = nu;
  if (nu <= 0.25f) {
    return 0.0f;
  }
  if (nu <= 4.0f) {
    return static_cast<float>((v - static_cast<long double>(0.25f)) * static_cast<long double>(0.03125f));
  }
  if (nu <= 256.0f) {
    return static_cast<float>((sqrtl(v) - static_cast<long double>(1.0625f)) * static_cast<long double>(0.125f));
  }
  return static_cast<float>(logl(v) - static_cast<long double>(3.67799f));
}

// The colour fraction of the Integer rule from the pass count.
float integer_fraction(int32_t count, long double shades) {
  return static_cast<float>((static_cast<long double>(count) - static_cast<long double>(0.5f)) / shades);
}

// The colour fraction of the Azimuthal rule from the final angle phi of the
// last iterate and the doubled start angle for the pass count.
float azimuthal_fraction(float phi, int32_t count, const AngleTable& angles) {
  const long double e = angles.entry[count];
  const long double sum = (static_cast<long double>(angles.start_angle) - e) + static_cast<long double>(phi);
  double w = static_cast<double>(sum);
  if (sum < 0.0L) {
    w = static_cast<double>(static_cast<long double>(w) + static_cast<long double>(full_turn));
  }
  return static_cast<float>(static_cast<long double>(w) * static_cast<long double>(turn_reciprocal));
}

// Index 1..last_color_index - 1 from a colour fraction, walking the palette cyclically.
uint8_t shade_index(float f, long double shades) {
  const long double index = fmodl(static_cast<long double>(f), 1.0L) * shades + static_cast<long double>(1.0f);
  return static_cast<uint8_t>(truncl(index));
}

// Interior by the cusp, main cardioid or period-2 disk test.
bool quick_interior(double c_re, double c_im) {
  const double q = static_cast<double>(static_cast<long double>(c_re) - 0.25L);
  const double y2 = static_cast<double>(static_cast<long double>(c_im) * static_cast<long double>(c_im));
  const long double r_extended = sqrtl(static_cast<long double>(q) * static_cast<long double>(q) +
                                       static_cast<long double>(y2));
  if (r_extended == 0.0L) {
    return true;
  }
  const double r = static_cast<double>(r_extended);
  if ((1.0L - static_cast<long double>(q) / static_cast<long double>(r)) * 0.5L > static_cast<long double>(r)) {
    return true;
  }
  const long double shifted = static_cast<long double>(c_re) + 1.0L;
  return shifted * shifted + static_cast<long double>(y2) < 0.0625L;
}

}  // namespace

void build_angle_table(AngleTable& table, int32_t angle) {
  const long double turns = static_cast<long double>(angle % 360) * static_cast<long double>(degree_fraction);
  const double theta = static_cast<double>(turns * static_cast<long double>(full_turn));
  table.start_angle = theta;
  table.entry[1] = theta;
  int32_t degrees = angle;
  for (size_t k = 2; k < table.entry.size(); ++k) {
    if (degrees == 360) {
      table.entry[k] = 0.0;
      continue;
    }
    // The remainder of two binary64 values is exact and fits binary64.
    table.entry[k] = static_cast<double>(
        fmodl(2.0L * static_cast<long double>(table.entry[k - 1]), static_cast<long double>(full_turn)));
    if (degrees < 360) {
      degrees *= 2;
    }
  }
  table.table_angle = angle;
}

void prepare_angle_table(AngleTable& table, int32_t angle) {
  if (angle > 0 && angle != table.table_angle) {
    build_angle_table(table, angle);
  }
}

namespace {

// The rest of the decision once the kernel has reported on the point.
PixelDecision decide_after_kernel(double c_re, double c_im, int32_t count, float escape_value, float final_angle,
                                  const PixelRule& rule, const AngleTable& angles) {
  PixelDecision decision;
  decision.iterations = static_cast<uint32_t>(count);

  if (count >= rule.iteration_limit) {
    return decision;  // did not escape: interior
  }
  const auto border = static_cast<uint8_t>(rule.last_color_index);
  if (count > rule.border_iterations) {
    const long double d = boundary_distance(c_re, c_im, count);
    // Unordered (a NaN estimate) counts as below the threshold.
    if (!(d >= static_cast<long double>(rule.border_distance))) {
      decision.index = border;
      return decision;
    }
  }
  if (rule.angle > 0 && count > azimuthal_passes) {
    decision.index = border;
    return decision;
  }

  const long double shades = static_cast<float>(rule.last_color_index - 1);
  float f = 0.0f;
  if (rule.angle == 0) {
    f = escape_fraction(escape_value);
  } else if (rule.angle < 0) {
    f = integer_fraction(count, shades);
  } else {
    f = azimuthal_fraction(final_angle, count, angles);
  }
  decision.index = shade_index(f, shades);
  return decision;
}

// Pixels handed to the fast kernel in one go.
constexpr int kernel_batch = 128;

}  // namespace

PixelDecision decide_pixel(double c_re, double c_im, const PixelRule& rule, const AngleTable& angles) {
  keep_extended_precision();
  if (quick_interior(c_re, c_im)) {
    return PixelDecision{};
  }
  int32_t count = 0;
  float escape_value = 0.0f;
  float final_angle = 0.0f;
  iterate_point(c_re, c_im, rule.iteration_limit, count, escape_value, final_angle, rule.angle);
  return decide_after_kernel(c_re, c_im, count, escape_value, final_angle, rule, angles);
}

bool decide_pixels(const double* c_re, double c_im, int n, const PixelRule& rule, const AngleTable& angles,
                   PixelDecision* out, const std::atomic<bool>* cancel) {
  keep_extended_precision();
  KernelPoint points[kernel_batch];
  int column[kernel_batch];
  for (int begin = 0; begin < n; begin += kernel_batch) {
    const int end = n - begin < kernel_batch ? n : begin + kernel_batch;
    int m = 0;
    for (int i = begin; i < end; ++i) {
      if (quick_interior(c_re[i], c_im)) {
        out[i] = PixelDecision{};
      } else {
        points[m] = KernelPoint{c_re[i], c_im};
        column[m++] = i;
      }
    }
    if (!iterate_points(points, m, rule.iteration_limit, rule.angle, cancel)) return false;
    for (int j = 0; j < m; ++j) {
      const KernelPoint& p = points[j];
      out[column[j]] = decide_after_kernel(p.c_re, p.c_im, p.count, p.escape_value, p.final_angle, rule, angles);
    }
  }
  return true;
}

void paint_pixel(EngineState& state, int16_t column, int16_t row, uint8_t index) {
  if (index != state.last_selected_color) {
    state.last_selected_color = index;
    gw_set_color(index);
  }
  gw_set_pixel(column, row);
}

void evaluate_pixel(double c_re, double c_im, int16_t column, int16_t row, int32_t iteration_limit,
                    int64_t& iteration_total, int32_t border_iterations, double border_distance,
                    int32_t angle, int32_t last_color_index, uint8_t* row_buffer, EngineState& state) {
  prepare_angle_table(state.angles, angle);
  const PixelRule rule{iteration_limit, border_iterations, border_distance, angle, last_color_index};
  const PixelDecision decision = decide_pixel(c_re, c_im, rule, state.angles);
  iteration_total += decision.iterations;
  paint_pixel(state, column, row, decision.index);
  row_buffer[column] = decision.index;
}

}  // namespace zeno
