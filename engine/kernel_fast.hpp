#pragma once
// The fast escape iteration: three points at once in the x87 registers,
// the escape test deferred over a block of passes, and exact cycle
// detection. Every result is bit for bit what iterate_point() (the
// reference, in kernel.hpp) gives for the same point, limit and mode.

#include <atomic>
#include <cstdint>

namespace zeno {

// One point for iterate_points(): c in, what iterate_point() reports out.
struct KernelPoint {
  double c_re = 0.0;
  double c_im = 0.0;
  int32_t count = 0;           // passes made, 1..limit
  float escape_value = 0.0f;   // meaningful when the mode is 0
  float final_angle = 0.0f;    // meaningful when the mode is positive
  int32_t passes_made = 0;     // passes actually iterated: below count when a cycle ended the point early
};

// Passes of one block of the interleaved kernel. Within a block the escape
// test is left out; a point found beyond the threshold at the end of a block
// is taken back to the block's start and finished pass by pass.
inline constexpr int32_t kernel_block_passes = 16;

// Iterates every point as iterate_point(c_re, c_im, iteration_limit, ...,
// output_mode) would. Looks at *cancel (when given) between blocks; returns
// false as soon as it is set, with the results incomplete.
bool iterate_points(KernelPoint* points, int n, int32_t iteration_limit, int32_t output_mode,
                    const std::atomic<bool>* cancel = nullptr);

// One point through the same machinery; the signature of iterate_point().
void iterate_point_fast(double c_re, double c_im, int32_t iteration_limit, int32_t& iteration_count,
                        float& escape_value, float& final_angle, int32_t output_mode);

}  // namespace zeno
