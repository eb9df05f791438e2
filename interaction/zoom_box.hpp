#pragma once
// The mouse routine and the zoom box that ends every case.
//
// on_mouse runs on the user-interface thread and only records the pointer and
// the button flags. zoom_box runs on the logic thread: the left button places
// the box's centre, the right button sizes it, "&New Case or Exit" accepts it
// and the box becomes the next case's centre and magnification.
//
// The geometry and the arithmetic are plain functions so that they can be
// checked on their own.

#include <cstdint>

#include "driver/session.hpp"
#include "platform/runtime.hpp"

namespace zeno {

// The mouse callback: events 1 (left down), 2 (left up), 8 (right down),
// 16 (right up), 64 (move). Any other event does nothing. While a button is
// held the routine also hears movement.
void on_mouse(InteractionState& state, int unit, int event, int key_state, int x, int y);

// A MouseRoutine that calls on_mouse for `state` (which must outlive it).
MouseRoutine mouse_routine(InteractionState& state);

// The box as drawn: both corner columns and rows are part of it.
struct ZoomBox {
  int32_t center_x = 0;  // pixel the next view is centred on
  int32_t center_y = 0;
  int32_t height = 0;    // rows spanned, from the width and the aspect ratio
  int32_t left = 0;
  int32_t right = 0;
  int32_t top = 0;
  int32_t bottom = 0;
};

// One side of the box: starts size / 2 before `center` (not before 0), ends
// `size` after that (not after extent - 1); the far end wins, so the start is
// negative when the box is larger than extent - 1.
struct Span {
  int32_t first = 0;
  int32_t last = 0;
};
Span box_span(int32_t center, int32_t size, int32_t extent);

// q rounded to the nearest integer the way box sizes are: q + 0.5 (q - 0.5
// when negative), rounded to double, then truncated toward zero.
int32_t round_box_size(double q);

// zoom_box_width / aspect_ratio, rounded.
int32_t box_height_for(int32_t zoom_box_width, float aspect_ratio);

// The box width a held right button asks for: twice the larger of the
// horizontal distance and the vertical distance scaled by the aspect ratio
// (the latter at least 1).
int32_t right_button_width(int32_t mouse_x, int32_t mouse_y, int32_t box_center_x, int32_t box_center_y,
                           float aspect_ratio);

// Corners and height of the box around its centre for the given width.
void place_box(ZoomBox& box, int32_t zoom_box_width, float aspect_ratio, int32_t width, int32_t height);

// The view the accepted box asks for: centre on the box's centre point,
// magnification scaled by width / zoom_box_width, in extended precision.
void apply_next_view(CaseParameters& params, const ViewSetup& view, const ZoomBox& box);

// The zoom box of one case; returns when "&New Case or Exit" is chosen, after
// setting the next centre_x, centre_y and magnification.
void zoom_box(Session& session);

}  // namespace zeno
