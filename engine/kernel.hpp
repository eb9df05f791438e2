#pragma once
// The escape iteration z := z^2 + c in x87 extended precision, and the
// boundary distance estimate that repeats it.

#include <cstdint>

namespace zeno {

// Iterates from z = c until |z|^2 > 1000000 (strictly) or `iteration_limit`
// passes. output_mode < 0: count only; 0: also escape_value; > 0: also
// final_angle. Outputs not asked for are left untouched.
void iterate_point(double c_re, double c_im, int32_t iteration_limit, int32_t& iteration_count,
                   float& escape_value, float& final_angle, int32_t output_mode);

// The outputs iterate_point derives from where its loop ended: `count`
// passes made, and for an escaped point the squared modulus that passed the
// threshold and the last iterate (x, y). Shared by every kernel so that they
// report alike.
void report_point(bool escaped, int32_t count, long double modulus2, long double x, long double y,
                  int32_t output_mode, float& escape_value, float& final_angle);

// 2|z| ln|z| / |dz/dc| after exactly n passes (the kernel's count), in extended.
long double boundary_distance(double c_re, double c_im, int32_t n);

}  // namespace zeno
