#include "engine/kernel.hpp"

#include <cmath>

#include "engine/fpu.hpp"

namespace zeno {

namespace {

// The escape threshold for |z|^2, held as a binary32 value.
constexpr float escape_threshold = 1000000.0f;

}  // namespace

void iterate_point(double c_re, double c_im, int32_t iteration_limit, int32_t& iteration_count,
                   float& escape_value, float& final_angle, int32_t output_mode) {
  // Every computing thread works in extended precision; a thread that has
  // lost that state gets it back here, before the first operation, and keeps
  // it after the return.
  keep_extended_precision();

  const long double cr = c_re;
  const long double ci = c_im;
  const long double threshold = escape_threshold;
  long double x = cr;
  long double y = ci;
  long double xx = x * x;
  long double yy = y * y;
  long double modulus2 = 0.0L;
  uint16_t count = 0;
  uint16_t remaining = static_cast<uint16_t>(iteration_limit);
  bool escaped = false;
  for (;;) {
    ++count;
    const long double next_x = (xx - yy) + cr;
    const long double next_y = 2.0L * (x * y) + ci;
    x = next_x;
    y = next_y;
    xx = x * x;
    yy = y * y;
    modulus2 = xx + yy;
    if (modulus2 > threshold) {
      escaped = true;
      break;
    }
    if (--remaining == 0) {
      break;
    }
  }
  iteration_count = count;
  report_point(escaped, count, modulus2, x, y, output_mode, escape_value, final_angle);
}

void report_point(bool escaped, int32_t count, long double modulus2, long double x, long double y,
                  int32_t output_mode, float& escape_value, float& final_angle) {
  if (output_mode < 0) {
    return;
  }
  if (output_mode == 0) {
    if (escaped) {
      escape_value = static_cast<float>((1.0L - log2l(logl(modulus2))) + static_cast<long double>(count));
    } else {
      escape_value = static_cast<float>(static_cast<long double>(count) + 1.0L);
    }
    return;
  }
  if (escaped) {
    long double phi = atan2l(y, x);
    if (phi < 0.0L) {
      phi = phi + 2.0L * 3.14159265358979323846264338327950288L;
    }
    final_angle = static_cast<float>(phi);
  } else {
    final_angle = 0.0f;
  }
}

long double boundary_distance(double c_re, double c_im, int32_t n) {
  const long double cr = c_re;
  const long double ci = c_im;
  long double x = cr;
  long double y = ci;
  long double dr = 1.0L;
  long double di = 0.0L;
  for (int32_t pass = 0; pass < n; ++pass) {
    const long double next_dr = 2.0L * (dr * x - di * y) + 1.0L;
    const long double next_di = 2.0L * (di * x + dr * y);
    const long double xx = x * x;
    const long double yy = y * y;
    const long double next_x = (xx - yy) + cr;
    const long double next_y = 2.0L * (x * y) + ci;
    dr = next_dr;
    di = next_di;
    x = next_x;
    y = next_y;
  }
  const long double r2 = x * x + y * y;
  const long double s = dr * dr + di * di;
  return sqrtl(r2 / s) * logl(r2);
}

}  // namespace zeno
