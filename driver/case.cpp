#include "driver/case.hpp"

#include <optional>

#include "driver/render.hpp"
#include "driver/view.hpp"
#include "platform/runtime.hpp"

namespace zeno {

void compute_picture(Session& s) {
  choose_picture_name(s.picture);

  build_palette(s.params.sixteen_colors, s.palette);
  s.params.screen_mode_code[1] = s.params.sixteen_colors ? '1' : '2';
  s.params.last_color_index = s.palette.last_color_index;

  open_picture_file(s.picture, s.params, s.palette);
  derive_view(s.params, s.view);

  open_run_log(s.run_log);
  write_case_lines(s.run_log, s.picture.picture_name, s.params, s.view);
  s.loop.picture_complete = false;

  gw_open_window(picture_unit, picture_window_title(s.params));
  render_picture(s);
}

void close_program_files(Session& s) {
  std::optional<FileError> first;
  try {
    close_run_log(s.run_log);
  } catch (const FileError& e) {
    first = e;
  }
  try {
    close_picture_file(s.picture, s.loop.picture_complete);
  } catch (const FileError& e) {
    if (!first) first = e;
  }
  s.loop.picture_complete = false;
  if (first) throw *first;
}

}  // namespace zeno
