// The pixel workers: the rows they decide ahead of the render loop equal
// the plain sequential decisions bit for bit, whatever the number of
// threads; a stop or an exception leaves them idle and ready for the next
// picture.

#include "driver/render_workers.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "driver/case.hpp"
#include "driver/limits.hpp"
#include "driver/render.hpp"
#include "driver/view.hpp"
#include "platform/headless/headless_runtime.hpp"
#include "test_support.hpp"

namespace zeno {
namespace {

using test::CurrentDirectory;
using test::TempDir;

// A small picture: 24 x 16 pixels with the magnification scaled to match.
struct PictureCase {
  std::string name;
  double center_x;
  double center_y;
  float magnification;
  int32_t angle;  // -1 Integer, 0 Escape, 1..360 Azimuthal
  bool border;
};

void PrintTo(const PictureCase& p, std::ostream* os) { *os << p.name; }

void set_tiny_case(const PictureCase& p, Session& s) {
  s.params.width = 24;
  s.params.height = 16;
  s.params.resolution_code = 1;
  s.params.screen_mode_code = {'V', '2'};
  s.params.sixteen_colors = false;
  s.params.last_color_index = 235;
  s.params.max_magnification = max_magnification_for_width(24);
  s.params.center_x = p.center_x;
  s.params.center_y = p.center_y;
  s.params.magnification = p.magnification;
  s.params.angle = p.angle;
  s.params.algorithm_code = {p.angle == 0 ? 'E' : p.angle < 0 ? 'I' : 'A', p.border ? 'B' : ' '};
  s.params.border_enabled = p.border;
  s.params.border_width = 1.0f;
}

// Spots worth comparing: few passes, deep filaments (counts in the
// thousands, limit 65534), a minibrot whose interior runs to the limit
// (limit 13000 here), and a view whose rows mirror each other across the
// real axis (row 8 is the axis).
const PictureCase views[] = {
    {"overview", -0.7454298994, 0.11300779474, 0.9f, 0, false},
    {"boundary_heavy", -1.768778510238, -0.001738899448, 1.7e10f, 0, false},
    {"interior_heavy", -0.5618416, 0.6769864, 6.9e4f, 0, false},
    {"across_the_axis", -1.3, 0.0, 6.9f, 0, false},
};

struct RuleCase {
  std::string name;
  int32_t angle;
  bool border;
};

const RuleCase rules[] = {
    {"escape", 0, false}, {"integer", -1, false}, {"azimuthal", 30, false}, {"escape_border", 0, true},
    {"integer_border", -1, true},
};

void PrintTo(const RuleCase& r, std::ostream* os) { *os << r.name; }

PictureCase with_rule(PictureCase p, const RuleCase& r) {
  p.angle = r.angle;
  p.border = r.border;
  return p;
}

std::string case_name(const PictureCase& v, const RuleCase& r) { return v.name + "_" + r.name; }

// The plain sequential decisions of every row, and their total.
struct PlainPicture {
  std::vector<RowDecisions> rows;  // by row number
  int64_t total = 0;
};

PlainPicture plain_picture(Session& s) {
  derive_view(s.params, s.view);
  const PictureJob job = make_picture_job(s);
  PlainPicture plain;
  plain.rows.resize(static_cast<std::size_t>(s.params.height));
  for (int r = 0; r < s.params.height; ++r) {
    decide_row(job, r, plain.rows[static_cast<std::size_t>(r)]);
    for (int c = 0; c < s.params.width; ++c) plain.total += plain.rows[static_cast<std::size_t>(r)].iterations[c];
  }
  return plain;
}

// --- the workers on their own ---

class WorkersMatchPlainRows : public ::testing::TestWithParam<std::tuple<PictureCase, RuleCase>> {};

TEST_P(WorkersMatchPlainRows, EveryRowForOneTwoAndThreeThreads) {
  Session s;
  set_tiny_case(with_rule(std::get<0>(GetParam()), std::get<1>(GetParam())), s);
  const PlainPicture plain = plain_picture(s);
  const PictureJob job = make_picture_job(s);
  const std::vector<int> order = row_order(s.params.height);

  RenderWorkers workers;
  for (const int threads : {1, 2, 3}) {
    {
      DecidedRows decided(workers, job, order, threads);
      EXPECT_EQ(workers.threads(), threads);
      for (std::size_t i = 0; i < order.size(); ++i) {
        const RowDecisions& fast = decided.row(i);
        const RowDecisions& want = plain.rows[static_cast<std::size_t>(order[i])];
        for (int c = 0; c < s.params.width; ++c) {
          ASSERT_EQ(fast.index[c], want.index[c]) << threads << " threads, column " << c << ", row " << order[i];
          ASSERT_EQ(fast.iterations[c], want.iterations[c])
              << threads << " threads, column " << c << ", row " << order[i];
        }
      }
    }
    EXPECT_TRUE(workers.idle());
  }
}

INSTANTIATE_TEST_SUITE_P(Views, WorkersMatchPlainRows,
                         ::testing::Combine(::testing::ValuesIn(views), ::testing::ValuesIn(rules)),
                         [](const auto& info) { return case_name(std::get<0>(info.param), std::get<1>(info.param)); });

// Rows that mirror each other are decided once; under Azimuthal they are
// not mirrors, and the rows must still come out right.
TEST(RenderWorkers, MirrorRowsAcrossAnOffCentreAxis) {
  for (const int32_t angle : {0, -1, 90}) {
    Session s;
    set_tiny_case(PictureCase{"axis_low", -0.75, 0.06, 10.0f, angle, true}, s);
    const PlainPicture plain = plain_picture(s);
    ASSERT_GT(s.view.axis_offset, 0);  // the axis lies below the centre row
    const PictureJob job = make_picture_job(s);
    const std::vector<int> order = row_order(s.params.height);
    RenderWorkers workers;
    DecidedRows decided(workers, job, order, 2);
    for (std::size_t i = 0; i < order.size(); ++i) {
      const RowDecisions& fast = decided.row(i);
      const RowDecisions& want = plain.rows[static_cast<std::size_t>(order[i])];
      for (int c = 0; c < s.params.width; ++c) {
        ASSERT_EQ(fast.index[c], want.index[c]) << angle << ": column " << c << ", row " << order[i];
        ASSERT_EQ(fast.iterations[c], want.iterations[c]) << angle << ": column " << c << ", row " << order[i];
      }
    }
  }
}

TEST(RenderWorkers, ThreadsAreStartedWithTheFirstPictureAndResizedOnDemand) {
  Session s;
  set_tiny_case(views[0], s);
  derive_view(s.params, s.view);
  const PictureJob job = make_picture_job(s);
  const std::vector<int> order = row_order(s.params.height);
  RenderWorkers workers;
  EXPECT_EQ(workers.threads(), 0);
  { DecidedRows decided(workers, job, order, 3); }
  EXPECT_EQ(workers.threads(), 3);
  { DecidedRows decided(workers, job, order, 1); }
  EXPECT_EQ(workers.threads(), 1);
  EXPECT_EQ(worker_count(4), 4);
  EXPECT_GE(worker_count(0), 1);
}

TEST(RenderWorkers, RefusesAPictureWiderThanItsRows) {
  Session s;
  set_tiny_case(views[0], s);
  derive_view(s.params, s.view);
  PictureJob job = make_picture_job(s);
  job.width = max_picture_width + 1;
  RenderWorkers workers;
  EXPECT_THROW(workers.start(job, row_order(16), 1), std::invalid_argument);
  EXPECT_TRUE(workers.idle());
}

// --- whole pictures through compute_picture ---

struct Rendered {
  std::vector<uint8_t> picture;
  std::vector<std::string> log;
  int64_t total = 0;
};

Rendered render(const PictureCase& p, int threads) {
  TempDir dir;
  CurrentDirectory cd(dir.path());
  HeadlessRuntime runtime;
  install_runtime(&runtime);
  Session s;
  set_tiny_case(p, s);
  s.threads = threads;
  compute_picture(s);
  EXPECT_TRUE(s.loop.picture_complete);
  close_program_files(s);
  Rendered out;
  out.picture = test::read_bytes(dir / "ZENOPIC0.BMP");
  out.log = test::crlf_lines(test::read_text(dir / "ZENOPLOT.TXT"));
  out.total = s.iteration_total;
  return out;
}

// The timing line without its time.
std::string without_time(const std::string& line) { return line.substr(0, line.find("Execution time")); }

class SameFilesForAnyThreadCount : public ::testing::TestWithParam<std::tuple<PictureCase, RuleCase>> {};

TEST_P(SameFilesForAnyThreadCount, PictureAndRunLogEqualThePlainLoop) {
  const PictureCase p = with_rule(std::get<0>(GetParam()), std::get<1>(GetParam()));
  const Rendered one = render(p, 1);
  const Rendered three = render(p, 3);
  EXPECT_EQ(one.picture, three.picture);
  ASSERT_EQ(one.log.size(), 5u);
  ASSERT_EQ(three.log.size(), 5u);
  for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(without_time(one.log[i]), without_time(three.log[i])) << i;

  // And both equal the plain sequential decisions.
  Session s;
  set_tiny_case(p, s);
  const PlainPicture plain = plain_picture(s);
  EXPECT_EQ(one.total, plain.total);
  EXPECT_EQ(three.total, plain.total);
  const test::Bmp bmp = test::Bmp::parse(one.picture);
  for (int r = 0; r < 16; ++r)
    for (int c = 0; c < 24; ++c)
      ASSERT_EQ(bmp.index(c, r), plain.rows[static_cast<std::size_t>(r)].index[c]) << c << "," << r;
}

INSTANTIATE_TEST_SUITE_P(Views, SameFilesForAnyThreadCount,
                         ::testing::Combine(::testing::ValuesIn(views),
                                            ::testing::Values(rules[0], rules[1], rules[2], rules[3])),
                         [](const auto& info) { return case_name(std::get<0>(info.param), std::get<1>(info.param)); });

// --- stops and exceptions ---

class DeepPicture : public ::testing::Test {
 protected:
  DeepPicture() : cd_(dir_.path()) {
    install_runtime(&runtime_);
    // A high-period minibrot at the iteration ceiling: most points take
    // thousands of passes before their cycle repeats exactly, many run to
    // the limit.
    s_.params.width = 640;
    s_.params.height = 480;
    s_.params.resolution_code = 1;
    s_.params.screen_mode_code = {'V', '2'};
    s_.params.sixteen_colors = false;
    s_.params.last_color_index = 235;
    s_.params.max_magnification = max_magnification_for_width(640);
    s_.params.center_x = -1.7687889447;
    s_.params.center_y = -0.0017758242;
    s_.params.magnification = 3.2e6f;
    s_.threads = 2;
  }
  ~DeepPicture() override {
    try {
      close_program_files(s_);
    } catch (...) {
    }
  }

  TempDir dir_;
  CurrentDirectory cd_;
  HeadlessRuntime runtime_;
  Session s_;
};

TEST_F(DeepPicture, StopAfterTheFirstRowLeavesTheWorkersIdle) {
  int rows = 0;
  s_.on_row_done = [&](int done, int) {
    rows = done;
    s_.interaction.stop_requested.store(true);
  };
  compute_picture(s_);
  EXPECT_FALSE(s_.loop.picture_complete);
  EXPECT_EQ(rows, 1);
  EXPECT_EQ(s_.view.iteration_limit, 65534);
  EXPECT_TRUE(s_.workers.idle());
  EXPECT_EQ(s_.workers.threads(), 2);  // kept for the next picture
  // Only the middle row reached the file (after the header's two 640-byte records).
  EXPECT_EQ(test::read_bytes(s_.picture.path).size(), 640u * (2 + 480 - 240));

  // The same workers compute the next picture, a small one, to the end.
  close_program_files(s_);
  s_.on_row_done = nullptr;
  set_tiny_case(views[3], s_);
  compute_picture(s_);
  EXPECT_TRUE(s_.loop.picture_complete);
  Session reference;
  set_tiny_case(views[3], reference);
  EXPECT_EQ(s_.iteration_total, plain_picture(reference).total);
}

TEST_F(DeepPicture, ShutdownThrownFromPaintingLeavesTheWorkersIdle) {
  s_.on_row_done = [&](int done, int) {
    if (done == 2) runtime_.request_shutdown();
  };
  EXPECT_THROW(compute_picture(s_), ProgramShutdown);
  EXPECT_FALSE(s_.loop.picture_complete);
  EXPECT_TRUE(s_.workers.idle());
}

}  // namespace
}  // namespace zeno
