#pragma once
// One picture from validated parameters to the last row, the same for the
// interactive program and the batch renderer:
//   name -> palette -> picture file -> view -> run log -> window -> rows.

#include "driver/session.hpp"

namespace zeno {

// Computes one picture with s.params as validated: chooses the picture name
// in the current directory, builds the palette (setting the second character
// of the screen-mode code and last_color_index), opens the picture file,
// derives the view, appends the case's lines to the run log, opens the
// picture window with its title and renders. On return
// s.loop.picture_complete tells whether every row was produced; the picture
// file is still open either way. Throws FileError; the files are then left
// for close_program_files.
void compute_picture(Session& s);

// What has to happen however the program ends: the run log is closed; an
// open picture file is kept when its picture was completed and deleted
// otherwise. Every step is tried; the first failure is thrown afterwards as
// FileError.
void close_program_files(Session& s);

}  // namespace zeno
