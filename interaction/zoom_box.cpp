#include "interaction/zoom_box.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace zeno {

namespace {

// Idle pass of the box's wait while no button is held.
constexpr int idle_sleep_ms = 20;

}  // namespace

void on_mouse(InteractionState& state, int unit, int event, int /*key_state*/, int x, int y) {
  // The position goes in before the flag, so a poller that sees a button
  // down also sees where it went down.
  switch (event) {
    case mouse_left_down:
      state.mouse_x.store(x);
      state.mouse_y.store(y);
      state.left_button_down.store(true);
      gw_register_mouse(unit, mouse_move, mouse_routine(state));
      break;
    case mouse_left_up:
      state.left_button_down.store(false);
      gw_unregister_mouse(unit, mouse_move);
      break;
    case mouse_right_down:
      state.mouse_x.store(x);
      state.mouse_y.store(y);
      state.right_button_down.store(true);
      gw_register_mouse(unit, mouse_move, mouse_routine(state));
      break;
    case mouse_right_up:
      state.right_button_down.store(false);
      gw_unregister_mouse(unit, mouse_move);
      break;
    case mouse_move:
      state.mouse_x.store(x);
      state.mouse_y.store(y);
      break;
    default:
      break;
  }
}

MouseRoutine mouse_routine(InteractionState& state) {
  return [&state](int unit, int event, int key_state, int x, int y) {
    on_mouse(state, unit, event, key_state, x, y);
  };
}

Span box_span(int32_t center, int32_t size, int32_t extent) {
  int32_t first = center - size / 2;
  if (first <= 0) first = 0;
  int32_t last = first + size;
  if (last >= extent - 1) last = extent - 1;
  return {last - size, last};
}

int32_t round_box_size(double q) {
  const double r = q < 0.0 ? q - 0.5 : q + 0.5;
  return static_cast<int32_t>(std::trunc(r));
}

int32_t box_height_for(int32_t zoom_box_width, float aspect_ratio) {
  const double q = static_cast<double>(static_cast<long double>(zoom_box_width) /
                                       static_cast<long double>(aspect_ratio));
  return round_box_size(q);
}

int32_t right_button_width(int32_t mouse_x, int32_t mouse_y, int32_t box_center_x, int32_t box_center_y,
                           float aspect_ratio) {
  const int64_t dx = std::llabs(static_cast<int64_t>(mouse_x) - box_center_x);
  const int64_t dy = std::llabs(static_cast<int64_t>(mouse_y) - box_center_y);
  const double scaled = static_cast<double>(static_cast<long double>(dy) * static_cast<long double>(aspect_ratio));
  const int64_t s = std::max<int64_t>(round_box_size(scaled), 1);
  return static_cast<int32_t>(2 * std::max(dx, s));
}

void place_box(ZoomBox& box, int32_t zoom_box_width, float aspect_ratio, int32_t width, int32_t height) {
  const Span columns = box_span(box.center_x, zoom_box_width, width);
  box.left = columns.first;
  box.right = columns.last;
  box.height = box_height_for(zoom_box_width, aspect_ratio);
  const Span rows = box_span(box.center_y, box.height, height);
  box.top = rows.first;
  box.bottom = rows.last;
}

void apply_next_view(CaseParameters& params, const ViewSetup& view, const ZoomBox& box) {
  const long double spacing = view.pixel_spacing;
  params.center_x = static_cast<double>(static_cast<long double>(params.center_x) +
                                        static_cast<long double>(box.center_x - view.center_column) * spacing);
  params.center_y = static_cast<double>(static_cast<long double>(params.center_y) +
                                        static_cast<long double>(view.center_row - box.center_y) * spacing);
  params.magnification = static_cast<float>(static_cast<long double>(params.width) /
                                            static_cast<long double>(view.zoom_box_width) *
                                            static_cast<long double>(params.magnification));
}

void zoom_box(Session& session) {
  InteractionState& state = session.interaction;
  ViewSetup& view = session.view;
  const CaseParameters& params = session.params;

  ZoomBox box;
  box.center_x = state.mouse_x.load();
  box.center_y = state.mouse_y.load();

  // From now on the right button is heard too.
  gw_register_mouse(picture_unit, mouse_right_down, mouse_routine(state));
  gw_register_mouse(picture_unit, mouse_right_up, mouse_routine(state));
  // Drawn in exclusive-or: drawing the box again erases it.
  gw_set_color(params.last_color_index);
  gw_set_write_mode(write_xor);

  while (!state.new_case_requested.load()) {
    view.zoom_box_width = std::max(view.zoom_box_width, view.min_zoom_box_width);
    place_box(box, view.zoom_box_width, view.aspect_ratio, params.width, params.height);
    gw_rectangle(rectangle_outline, box.left, box.top, box.right, box.bottom);

    // While a button is held, every pass redraws at once so that the box
    // follows the pointer; otherwise poll at a calm pace.
    for (;;) {
      if (state.left_button_down.load()) {
        box.center_x = state.mouse_x.load();
        box.center_y = state.mouse_y.load();
        break;
      }
      if (state.right_button_down.load()) {
        view.zoom_box_width = right_button_width(state.mouse_x.load(), state.mouse_y.load(), box.center_x,
                                                 box.center_y, view.aspect_ratio);
        break;
      }
      if (state.new_case_requested.load()) break;
      gw_sleep(idle_sleep_ms);
    }

    gw_rectangle(rectangle_outline, box.left, box.top, box.right, box.bottom);
  }

  for (int event : {mouse_left_down, mouse_right_down, mouse_left_up, mouse_right_up, mouse_move})
    gw_unregister_mouse(picture_unit, event);
  state.left_button_down.store(false);
  state.right_button_down.store(false);

  apply_next_view(session.params, view, box);
}

}  // namespace zeno
