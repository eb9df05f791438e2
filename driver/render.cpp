#include "driver/render.hpp"

#include <ctime>
#include <stdexcept>

#include "driver/view.hpp"
#include "platform/runtime.hpp"

namespace zeno {

TimeOfDay local_time_of_day() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  std::tm local{};
  ::localtime_r(&now.tv_sec, &local);
  TimeOfDay t;
  t.hour = static_cast<int16_t>(local.tm_hour);
  t.minute = static_cast<int16_t>(local.tm_min);
  t.second = static_cast<int16_t>(local.tm_sec > 59 ? 59 : local.tm_sec);  // a leap second stays in its minute
  t.hundredth = static_cast<int16_t>(now.tv_nsec / 1000000 / 10);
  return t;
}

ElapsedTime elapsed_time(const TimeOfDay& start, const TimeOfDay& end) {
  int32_t end_minute = end.minute;
  int32_t end_hour = end.hour;

  const int32_t hundredths = end.hundredth - start.hundredth;
  const int32_t whole = end.second - start.second;
  float seconds = static_cast<float>(static_cast<long double>(hundredths) * static_cast<long double>(0.01f) +
                                     static_cast<long double>(whole));
  if (seconds < 0.0f) {
    seconds = static_cast<float>(static_cast<long double>(seconds) + 60.0L);
    end_minute -= 1;
  } else if (seconds >= 60.0f) {
    seconds = static_cast<float>(static_cast<long double>(seconds) - 60.0L);
    end_minute += 1;
  }

  int32_t minutes = end_minute - start.minute;
  if (minutes < 0) {
    minutes += 60;
    end_hour -= 1;
  } else if (minutes >= 60) {
    minutes -= 60;
    end_hour += 1;
  }

  int32_t hours = end_hour - start.hour;
  if (hours < 0) hours += 24;  // past midnight
  return {hours, minutes, seconds};
}

std::vector<int> row_order(int height) {
  std::vector<int> order;
  if (height <= 0) return order;
  order.reserve(static_cast<std::size_t>(height));
  std::vector<bool> produced(static_cast<std::size_t>(height), false);
  const int center_row = height / 2;
  for (int i = 0; i <= center_row; ++i) {
    const int a = center_row - i;
    const int b = height - 1 - a;
    for (int r : {a, b}) {
      if (!produced[static_cast<std::size_t>(r)]) {
        produced[static_cast<std::size_t>(r)] = true;
        order.push_back(r);
      }
    }
  }
  return order;
}

PictureJob make_picture_job(Session& s) {
  prepare_angle_table(s.engine.angles, s.params.angle);
  PictureJob job;
  job.width = s.params.width;
  job.center_column = s.view.center_column;
  job.center_row = s.view.center_row;
  job.axis_row = static_cast<int64_t>(s.view.center_row) + s.view.axis_offset;
  job.pixel_spacing = s.view.pixel_spacing;
  job.row_spacing = s.view.row_spacing;
  job.center_x = s.params.center_x;
  job.center_y = s.params.center_y;
  job.rule = PixelRule{s.view.iteration_limit, s.view.border_iterations, s.view.border_distance, s.params.angle,
                       s.params.last_color_index};
  job.angles = &s.engine.angles;
  return job;
}

double row_imaginary(const PictureJob& job, int r) {
  if (r == job.axis_row) return 0.0;  // the real axis, exactly
  return static_cast<double>(static_cast<long double>(job.center_row - r) * static_cast<long double>(job.row_spacing) +
                             static_cast<long double>(job.center_y));
}

double column_real(const PictureJob& job, int c) {
  return static_cast<double>(static_cast<long double>(c - job.center_column) *
                                 static_cast<long double>(job.pixel_spacing) +
                             static_cast<long double>(job.center_x));
}

void decide_row(const PictureJob& job, int r, RowDecisions& out) {
  const double y = row_imaginary(job, r);
  for (int c = 0; c < job.width; ++c) {
    const PixelDecision d = decide_pixel(column_real(job, c), y, job.rule, *job.angles);
    out.index[static_cast<std::size_t>(c)] = d.index;
    out.iterations[static_cast<std::size_t>(c)] = d.iterations;
  }
}

void paint_and_write_row(Session& s, int r, const RowDecisions& decisions) {
  for (int c = 0; c < s.params.width; ++c) {
    const uint8_t index = decisions.index[static_cast<std::size_t>(c)];
    s.iteration_total += decisions.iterations[static_cast<std::size_t>(c)];
    paint_pixel(s.engine, static_cast<int16_t>(c), static_cast<int16_t>(r), index);
    s.row_buffer[static_cast<std::size_t>(c)] = index;
  }
  write_picture_row(s.picture, s.params, r, s.row_buffer.data());
}

namespace {

bool leave_requested(const InteractionState& in) {
  return in.stop_requested.load() || in.new_case_requested.load() || in.left_button_down.load();
}

void prepare_picture_window(Session& s) {
  const int32_t w = s.params.width;
  const int32_t h = s.params.height;
  load_palette(s.palette);

  gw_set_color(s.params.last_color_index);
  gw_move_to(0, 0);
  gw_line_to(w - 1, h - 1);
  gw_move_to(0, h - 1);
  gw_line_to(w - 1, 0);

  InteractionState& in = s.interaction;
  in.right_button_down.store(false);
  in.left_button_down.store(false);
  in.mouse_x.store(s.view.center_column);
  in.mouse_y.store(s.view.center_row);
  in.new_case_requested.store(false);
  in.stop_requested.store(false);

  set_zoom_box_defaults(s.params, s.view);

  gw_unregister_mouse(picture_unit, mouse_right_down);
  if (s.on_mouse) {
    gw_register_mouse(picture_unit, mouse_left_down, s.on_mouse);
    gw_register_mouse(picture_unit, mouse_left_up, s.on_mouse);
  }

  s.palette_rotated = false;
  s.iteration_total = 0;
  s.engine.last_selected_color = -1;
}

}  // namespace

void render_picture(Session& s) {
  if (s.params.width < 1 || s.params.width > max_picture_width || s.params.height < 1)
    throw std::invalid_argument("render_picture: picture size out of range");

  s.loop.picture_complete = false;
  prepare_picture_window(s);
  const TimeOfDay start = local_time_of_day();

  const PictureJob job = make_picture_job(s);
  const std::vector<int> order = row_order(s.params.height);
  const int rows_total = static_cast<int>(order.size());
  // The workers decide the rows ahead of this loop; leaving it, however it
  // happens, stops them and drops what they decided ahead.
  DecidedRows decided(s.workers, job, order, worker_count(s.threads));
  int rows_done = 0;
  for (int r : order) {
    paint_and_write_row(s, r, decided.row(static_cast<std::size_t>(rows_done)));
    ++rows_done;
    if (s.on_row_done) s.on_row_done(rows_done, rows_total);
    if (leave_requested(s.interaction)) return;
  }

  s.loop.picture_complete = true;
  const ElapsedTime t = elapsed_time(start, local_time_of_day());
  write_timing_line(s.run_log, s.iteration_total, t.hours, t.minutes, t.seconds);
}

}  // namespace zeno
