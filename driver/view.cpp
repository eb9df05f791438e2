#include "driver/view.hpp"

#include <cmath>
#include <cstdint>
#include <limits>

namespace zeno {

namespace {

// Magnifications within this factor of the ceiling use whole multiples of the unit.
constexpr long double fine_range = 1024.0L;

constexpr int32_t iteration_cap = 65534;
constexpr int32_t border_off = 65535;

// Truncation toward zero into 32 bits; values beyond the range saturate.
int32_t truncate_to_int32(long double v) {
  const long double t = truncl(v);
  if (t >= static_cast<long double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  if (t <= static_cast<long double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(t);
}

}  // namespace

void derive_view(CaseParameters& params, ViewSetup& view) {
  const long double magnification = params.magnification;
  const long double ceiling = params.max_magnification;
  const long double unit = spacing_unit;

  if (ceiling / fine_range > magnification) {
    view.pixel_spacing =
        static_cast<double>(2.5L / (static_cast<long double>(params.width) * magnification));
  } else {
    // Nearest whole multiple, halves away from zero.
    const long double n = roundl(ceiling / magnification);
    view.pixel_spacing = static_cast<double>(n * unit);
  }
  view.row_spacing = view.pixel_spacing;
  const long double spacing = view.pixel_spacing;

  const long double limit = 16.0L / sqrtl(spacing);
  view.iteration_limit = limit < static_cast<long double>(iteration_cap) ? truncate_to_int32(limit) : iteration_cap;

  if (params.border_enabled) {
    const long double v = -2.0L * log10l(spacing);
    view.border_iterations = truncate_to_int32(v > 10.0L ? v : 10.0L);
    view.border_distance = static_cast<double>(static_cast<long double>(params.border_width) * spacing);
  } else {
    view.border_iterations = border_off;
  }

  view.center_column = static_cast<int16_t>(params.width / 2);
  view.center_row = static_cast<int16_t>(params.height / 2);

  // The real axis lies axis_offset rows below the centre row.
  const double q = static_cast<double>(static_cast<long double>(params.center_y) / spacing);
  const double shifted = q >= 0.0 ? static_cast<double>(static_cast<long double>(q) + 0.5L)
                                  : static_cast<double>(static_cast<long double>(q) - 0.5L);
  view.axis_offset = truncate_to_int32(shifted);
  if (view.axis_offset >= 1 && view.axis_offset < params.height) {
    params.center_y = static_cast<double>(static_cast<long double>(view.axis_offset) * spacing);
  }
}

void set_zoom_box_defaults(const CaseParameters& params, ViewSetup& view) {
  const long double finest =
      static_cast<long double>(params.width) * static_cast<long double>(spacing_unit) /
      static_cast<long double>(view.pixel_spacing);
  view.min_zoom_box_width = truncate_to_int32(finest > 2.0L ? finest : 2.0L);
  view.zoom_box_width = params.width / 10;
  view.aspect_ratio =
      static_cast<float>(static_cast<long double>(params.width) / static_cast<long double>(params.height));
}

}  // namespace zeno
