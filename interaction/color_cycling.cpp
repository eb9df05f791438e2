#include "interaction/color_cycling.hpp"

#include "driver/picture_file.hpp"
#include "platform/runtime.hpp"

namespace zeno {

namespace {

// One pass of the wait in the 16-colour mode.
constexpr int sixteen_color_pass_ms = 450;
// One pass in the 236-colour mode while rotation is off: nothing changes on
// the screen then, so the loop polls at the zoom box's idle pace instead of
// spinning on the flags.
constexpr int idle_pass_ms = 20;

bool user_moved_on(const InteractionState& state) {
  return state.stop_requested.load() || state.new_case_requested.load() || state.left_button_down.load();
}

}  // namespace

void rotate_palette(Palette& palette) {
  const int32_t top = palette.last_color_index - 1;
  if (top < 2) return;
  const uint32_t wrapped = palette.entries[static_cast<size_t>(top)];
  for (int32_t k = top; k >= 2; --k) palette.entries[static_cast<size_t>(k)] = palette.entries[static_cast<size_t>(k - 1)];
  palette.entries[1] = wrapped;
}

void cycle_colors(Session& session) {
  const InteractionState& state = session.interaction;
  const bool sixteen_colors = session.params.sixteen_colors;

  while (!user_moved_on(state)) {
    if (sixteen_colors) gw_sleep(sixteen_color_pass_ms);
    if (!state.rotate_colors.load()) {
      if (!sixteen_colors) gw_sleep(idle_pass_ms);
      continue;
    }
    rotate_palette(session.palette);
    session.palette_rotated = true;
    load_palette(session.palette);
  }

  if (session.palette_rotated) {
    write_header_records(session.picture, session.palette);
    session.palette_rotated = false;
  }
}

}  // namespace zeno
