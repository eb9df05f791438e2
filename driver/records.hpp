#pragma once
// The program-wide records: what the user asked for, what follows from it for
// one picture, the case loop's own state and the flags shared with the
// user-interface thread.

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "platform/runtime.hpp"

namespace zeno {

// The user's parameters for one picture. Survives from case to case.
struct CaseParameters {
  std::string directory;                 // output directory as entered (blank-padded, 260)
  int32_t resolution_code = 2;           // 1 640x480, 2 800x600, 3 1024x768, 4 1280x1024
  bool sixteen_colors = false;           // true: 16 colours, false: 236
  std::array<char, 2> algorithm_code{'E', ' '};  // E/I/A, then B (border) or blank
  int32_t angle = 0;                     // 0 Escape, -1 Integer, 1..360 Azimuthal
  float border_width = 0.15f;            // in pixels
  bool border_enabled = false;
  double center_x = -0.7454298994;
  double center_y = 0.11300779474;
  float magnification = 0.9f;
  float max_magnification = 0.0f;        // 11258999068427828 / width
  int32_t width = 800;
  int32_t height = 600;
  int32_t last_color_index = 235;        // 15 or 235
  std::array<char, 2> screen_mode_code{'S', '2'};
};

// What derive_view computes for one picture.
struct ViewSetup {
  double pixel_spacing = 0.0;
  double row_spacing = 0.0;
  int32_t iteration_limit = 0;
  int32_t border_iterations = 65535;
  double border_distance = 0.0;
  int16_t center_column = 0;
  int16_t center_row = 0;
  int32_t axis_offset = 0;
  int32_t zoom_box_width = 0;
  int32_t min_zoom_box_width = 2;
  float aspect_ratio = 0.0f;
};

// The flags the menu and mouse callbacks (user-interface thread) share with
// the logic thread. Each is written whole by one thread and read whole by the
// other; the position is stored before a button flag is raised.
struct InteractionState {
  std::atomic<bool> stop_requested{false};
  std::atomic<bool> rotate_colors{true};
  std::atomic<bool> new_case_requested{false};
  std::atomic<bool> left_button_down{false};
  std::atomic<bool> right_button_down{false};
  std::atomic<int32_t> mouse_x{0};
  std::atomic<int32_t> mouse_y{0};
  std::atomic<int32_t> state_menu_number{0};
};

// The case loop's own state.
struct CaseLoopState {
  bool picture_complete = false;       // last picture ran to its end, its file still open
  bool recheck = false;                // validation changed something: show the dialog again
  std::string prior_picture_field = std::string(12, ' ');
  std::string dialog_status = std::string(128, ' ');
  int32_t dialog_result = 0;
  WindowConfig window_config;
};

// Pads or cuts `text` to exactly `length` characters.
inline std::string blank_padded(std::string_view text, std::size_t length) {
  std::string s(text.substr(0, length));
  s.resize(length, ' ');
  return s;
}

// `text` without its trailing blanks.
inline std::string_view trimmed(std::string_view text) {
  std::size_t n = text.find_last_not_of(' ');
  return n == std::string_view::npos ? std::string_view{} : text.substr(0, n + 1);
}

}  // namespace zeno
