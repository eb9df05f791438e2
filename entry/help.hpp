#pragma once
// The help page: one fixed page of text drawn into the default window, shown
// until a key is typed.

#include "platform/runtime.hpp"

namespace zeno {

// Draws the page into the default window (unit 0) and waits for a key.
// `scratch` receives the previous position from every move.
void show_help(Point& scratch);

}  // namespace zeno
