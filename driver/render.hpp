#pragma once
// The render loop: one picture, row by row from the middle outwards.
//
// A row goes through two steps:
//   deciding           the colour index and iteration count of every pixel;
//                      pure, touches nothing shared, so it may run anywhere:
//                      the pixel workers (render_workers.hpp) do it ahead of
//                      the loop with the fast kernel; decide_row is the plain
//                      sequential reference;
//   paint_and_write_row  adds the counts to the total, paints the pixels,
//                      fills the row buffer and writes the row's record.
// render_picture takes the rows in row_order() on the logic thread, paints
// and writes each, and polls the stop flags after every row.

#include <array>
#include <cstdint>
#include <vector>

#include "driver/session.hpp"
#include "engine/pixel.hpp"

namespace zeno {

inline constexpr int max_picture_width = 1280;

// Local time of day as the clock gives it.
struct TimeOfDay {
  int16_t hour = 0;
  int16_t minute = 0;
  int16_t second = 0;
  int16_t hundredth = 0;  // milliseconds / 10
};

struct ElapsedTime {
  int32_t hours = 0;
  int32_t minutes = 0;
  float seconds = 0.0f;
};

TimeOfDay local_time_of_day();

// Time between two readings of the clock, borrowing across seconds, minutes,
// hours and midnight. Runs of 24 hours or more are not representable.
ElapsedTime elapsed_time(const TimeOfDay& start, const TimeOfDay& end);

// The rows in the order they are produced: the middle row first, then
// alternately upwards and downwards; every row exactly once.
std::vector<int> row_order(int height);

// What deciding a row needs, fixed for one picture. Read-only while rows are decided.
struct PictureJob {
  int32_t width = 0;
  int32_t center_column = 0;
  int32_t center_row = 0;
  int64_t axis_row = 0;  // the row with imaginary part exactly 0.0 (may lie outside)
  double pixel_spacing = 0.0;
  double row_spacing = 0.0;
  double center_x = 0.0;
  double center_y = 0.0;
  PixelRule rule;
  const AngleTable* angles = nullptr;  // prepared for rule.angle
};

// The decisions for one row.
struct RowDecisions {
  std::array<uint8_t, max_picture_width> index{};
  std::array<uint32_t, max_picture_width> iterations{};
};

// The job of the session's current picture. Prepares the angle table first.
PictureJob make_picture_job(Session& s);

// Imaginary part of row r and real part of column c.
double row_imaginary(const PictureJob& job, int r);
double column_real(const PictureJob& job, int c);

// Decides every pixel of row r with the plain loop: the reference the
// workers' decisions equal bit for bit. Safe to call from any thread.
void decide_row(const PictureJob& job, int r, RowDecisions& out);

// Adds the row's counts to the iteration total, paints its pixels, stores
// them in the row buffer and writes the row to the picture file.
void paint_and_write_row(Session& s, int r, const RowDecisions& decisions);

// Computes the picture in the open picture window: palette, diagonals,
// resets, zoom-box defaults, mouse, all rows. Sets loop.picture_complete when
// the last row is done, and then writes the timing line (which closes the
// run log). Leaves after the row in progress when a stop, a new case or the
// left button is requested. Throws FileError when a row cannot be written.
void render_picture(Session& s);

}  // namespace zeno
