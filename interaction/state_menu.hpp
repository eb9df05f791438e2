#pragma once
// The program's three items in the frame's State menu. Their callbacks run on
// the user-interface thread and only set or clear flags of InteractionState;
// the logic thread acts on them at its next poll.

#include <cstdint>

#include "driver/session.hpp"

namespace zeno {

// Menu items the program adds, below the runtime's own Pause (item 1).
inline constexpr int stop_zoom_item = 2;
inline constexpr int rotate_colors_item = 3;
inline constexpr int new_case_item = 4;

// Adds "&Stop/Zoom Picture", "&Rotate Colors" (checked) and "&New Case or
// Exit" to menu `menu_number` and sets the flags they steer.
void install_state_menu(Session& session, int32_t menu_number);

// "&Stop/Zoom Picture": ends the picture or the colour cycling.
void on_stop_zoom(InteractionState& state, int item_state);
// "&Rotate Colors": follows the check mark the runtime reports (nonzero:
// checked at the moment of the choice) and toggles it.
void on_rotate_colors(InteractionState& state, int item_state);
// "&New Case or Exit": ends the zoom box.
void on_new_case(InteractionState& state, int item_state);

}  // namespace zeno
