#include "interaction/state_menu.hpp"

#include "platform/runtime.hpp"

namespace zeno {

void install_state_menu(Session& session, int32_t menu_number) {
  InteractionState& state = session.interaction;
  state.state_menu_number.store(menu_number);

  gw_add_menu_item(menu_number, stop_zoom_item, menu_unchecked, "&Stop/Zoom Picture",
                   [&state](int item_state) { on_stop_zoom(state, item_state); });
  state.stop_requested.store(false);

  gw_add_menu_item(menu_number, rotate_colors_item, menu_checked, "&Rotate Colors",
                   [&state](int item_state) { on_rotate_colors(state, item_state); });
  state.rotate_colors.store(true);

  gw_add_menu_item(menu_number, new_case_item, menu_unchecked, "&New Case or Exit",
                   [&state](int item_state) { on_new_case(state, item_state); });
  state.new_case_requested.store(false);
}

void on_stop_zoom(InteractionState& state, int /*item_state*/) { state.stop_requested.store(true); }

void on_rotate_colors(InteractionState& state, int item_state) {
  const int menu = state.state_menu_number.load();
  if (item_state != 0) {
    gw_modify_menu_flags(menu, rotate_colors_item, menu_unchecked);
    state.rotate_colors.store(false);
  } else {
    gw_modify_menu_flags(menu, rotate_colors_item, menu_checked);
    state.rotate_colors.store(true);
  }
}

void on_new_case(InteractionState& state, int /*item_state*/) { state.new_case_requested.store(true); }

}  // namespace zeno
