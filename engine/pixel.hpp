#pragma once
// Where a pixel's colour is decided.
//
// decide_pixel() is the pure decision (index and iterations spent), callable
// from any thread with a read-only AngleTable; decide_pixels() makes the same
// decisions for a run of pixels of one row, several at a time. evaluate_pixel() is the
// program's per-pixel step: prepare the angle table, decide, add to the
// iteration total, paint, store in the row buffer.

#include <array>
#include <atomic>
#include <cstdint>

namespace zeno {

inline constexpr double full_turn = 6.2831853072;

// Entry k (1..500): the start angle doubled k - 1 times, modulo full_turn.
struct AngleTable {
  std::array<double, 501> entry{};  // entry[0] unused
  int32_t table_angle = 360;
  double start_angle = 0.0;
};

// Builds the table for `angle` (1..360).
void build_angle_table(AngleTable& table, int32_t angle);
// Builds it only when angle > 0 and differs from table.table_angle.
void prepare_angle_table(AngleTable& table, int32_t angle);

// What decides a pixel, fixed for one picture.
struct PixelRule {
  int32_t iteration_limit = 1;
  int32_t border_iterations = 65535;
  double border_distance = 0.0;
  int32_t angle = 0;               // -1 Integer, 0 Escape, 1..360 Azimuthal
  int32_t last_color_index = 235;
};

struct PixelDecision {
  uint8_t index = 0;       // colour index 0..last_color_index
  uint32_t iterations = 0; // passes the kernel made (0 when a quick test settled it)
};

// The decision for the point (c_re, c_im). Touches no shared state.
PixelDecision decide_pixel(double c_re, double c_im, const PixelRule& rule, const AngleTable& angles);

// The decisions for the n points (c_re[i], c_im), each bit for bit what
// decide_pixel() gives, computed with the fast kernel (kernel_fast.hpp).
// Touches no shared state. Returns false as soon as *cancel (when given) is
// seen set, with the decisions incomplete.
bool decide_pixels(const double* c_re, double c_im, int n, const PixelRule& rule, const AngleTable& angles,
                   PixelDecision* out, const std::atomic<bool>* cancel = nullptr);

// The engine's state for the whole run.
struct EngineState {
  AngleTable angles;
  int16_t last_selected_color = -1;  // the index last selected with gw_set_color
};

// Paints pixel (column, row) in `index`, selecting the colour only when it
// differs from the last one this routine selected.
void paint_pixel(EngineState& state, int16_t column, int16_t row, uint8_t index);

// The per-pixel step of the render loop.
void evaluate_pixel(double c_re, double c_im, int16_t column, int16_t row, int32_t iteration_limit,
                    int64_t& iteration_total, int32_t border_iterations, double border_distance,
                    int32_t angle, int32_t last_color_index, uint8_t* row_buffer, EngineState& state);

}  // namespace zeno
