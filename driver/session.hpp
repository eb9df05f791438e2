#pragma once
// Everything one run of the program keeps, in one place. Routines take the
// session by reference instead of reaching for globals, so the tests can run
// many sessions side by side.

#include <array>
#include <cstdint>
#include <functional>

#include "driver/picture_file.hpp"
#include "driver/records.hpp"
#include "driver/render_workers.hpp"
#include "driver/run_log.hpp"
#include "engine/palette.hpp"
#include "engine/pixel.hpp"
#include "platform/dialog.hpp"

namespace zeno {

struct Session {
  CaseParameters params;
  ViewSetup view;
  CaseLoopState loop;
  InteractionState interaction;
  Palette palette;
  EngineState engine;
  PictureFile picture;
  RunLog run_log;
  Dialog parameter_dialog;

  std::array<uint8_t, 1280> row_buffer{};
  int64_t iteration_total = 0;  // iterations spent on the current picture
  bool palette_rotated = false;
  int32_t threads = 0;          // pixel workers; 0: one per hardware thread
  RenderWorkers workers;        // started with the first picture, ended with the session

  // Registered on the picture window for the left button while a picture is
  // computed; nothing is registered when empty.
  MouseRoutine on_mouse;
  // Called after every row written: rows done so far, rows of the picture.
  std::function<void(int rows_done, int rows_total)> on_row_done;
};

}  // namespace zeno
