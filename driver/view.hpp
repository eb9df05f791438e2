#pragma once
// From the user's parameters to the geometry of one picture.
//
// Pixel (column c, row r), row 0 at the top, is the point
//   x = (c - center_column) * pixel_spacing + center_x
//   y = (center_row - r) * row_spacing + center_y
// so the imaginary part grows upwards and both axes share one scale.

#include "driver/records.hpp"

namespace zeno {

// The finest pixel spacing the program uses (close to, but not exactly, 2^-52).
inline constexpr double spacing_unit = 2.22044604925e-16;

// Fills every field of `view` except the zoom-box fields: spacing, iteration
// limit, border settings, centre pixel and the real-axis row. Moves
// params.center_y onto the pixel grid when the real axis lies 1 .. height - 1
// rows below the centre row.
void derive_view(CaseParameters& params, ViewSetup& view);

// The zoom box's starting width, smallest width and aspect ratio. Needs the
// spacing from derive_view.
void set_zoom_box_defaults(const CaseParameters& params, ViewSetup& view);

}  // namespace zeno
