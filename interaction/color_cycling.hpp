#pragma once
// Colour cycling after a completed picture: while "&Rotate Colors" is checked
// the palette's escape colours move up one entry per pass and the picture
// window's palette is reloaded, so the colour bands flow while the pixels stay.
// The wait ends on "&Stop/Zoom Picture", "&New Case or Exit" or the left
// button; a rotated palette is then written back into the picture file.

#include "driver/session.hpp"
#include "engine/palette.hpp"

namespace zeno {

// Entries 1 .. last_color_index - 1 move up by one; the top one wraps to 1.
// Entries 0 and last_color_index stay.
void rotate_palette(Palette& palette);

// The wait with rotation. Returns when the user moved on, after rewriting the
// picture file's header records if the palette was rotated.
void cycle_colors(Session& session);

}  // namespace zeno
