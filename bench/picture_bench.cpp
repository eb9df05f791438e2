// Whole pictures: the plain sequential loop against the fast path (the pixel
// workers with the fast kernel, cycle detection and mirror rows), in the
// same run, on named views. Prints one table row per view: the picture's
// iteration total, the times, the ratio, iterations per second and the
// parallel efficiency of the workers.
//
//   zeno_picture_bench [--views a,b,...] [--threads N] [--repeat R]
//
// Both paths decide every pixel of the picture and nothing else (painting
// and writing the file cost the same on either path and next to nothing);
// every decision and the total are checked equal. The plain loop runs on a
// thread lowered like the workers, so that both compete alike with whatever
// else runs on the machine. Each time is the best of R runs.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "driver/limits.hpp"
#include "driver/render.hpp"
#include "driver/render_workers.hpp"
#include "driver/session.hpp"
#include "driver/view.hpp"
#include "engine/fpu.hpp"

namespace {

using namespace zeno;

struct NamedView {
  const char* name;
  int width;
  int height;
  double center_x;
  double center_y;
  float magnification;
  const char* what;
};

const NamedView named_views[] = {
    {"default", 1280, 1024, -0.7454298994, 0.11300779474, 0.9f, "the start-up view"},
    {"boundary", 640, 480, -1.768778510238, -0.001738899448, 1.7592186e10f, "deep filaments, no interior"},
    {"interior", 640, 480, -0.5618416, 0.6769864, 7.0e4f, "period-11 minibrot at the ceiling"},
    {"interior93", 640, 480, -1.7687889447, -0.0017758242, 3.2e6f, "period-93 minibrot at the ceiling"},
};

struct Picture {
  std::vector<RowDecisions> rows;  // by position in the row order
  int64_t total = 0;
};

double seconds_since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// The plain sequential loop, on a thread lowered like the workers.
double run_plain(const PictureJob& job, const std::vector<int>& order, Picture& out) {
  double seconds = 0.0;
  std::thread t([&] {
    ensure_extended_precision();
    lower_worker_priority();
    out.rows.assign(order.size(), RowDecisions{});
    out.total = 0;
    const auto t0 = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < order.size(); ++i) {
      decide_row(job, order[i], out.rows[i]);
      for (int c = 0; c < job.width; ++c) out.total += out.rows[i].iterations[static_cast<std::size_t>(c)];
    }
    seconds = seconds_since(t0);
  });
  t.join();
  return seconds;
}

// The fast path: rows consumed in order as the render loop consumes them.
double run_fast(RenderWorkers& workers, const PictureJob& job, const std::vector<int>& order, int threads,
                Picture& out) {
  out.rows.assign(order.size(), RowDecisions{});
  out.total = 0;
  const auto t0 = std::chrono::steady_clock::now();
  {
    DecidedRows decided(workers, job, order, threads);
    for (std::size_t i = 0; i < order.size(); ++i) {
      out.rows[i] = decided.row(i);
      for (int c = 0; c < job.width; ++c) out.total += out.rows[i].iterations[static_cast<std::size_t>(c)];
    }
  }
  return seconds_since(t0);
}

bool same(const Picture& a, const Picture& b, int width) {
  if (a.total != b.total || a.rows.size() != b.rows.size()) return false;
  for (std::size_t i = 0; i < a.rows.size(); ++i)
    for (int c = 0; c < width; ++c) {
      const auto k = static_cast<std::size_t>(c);
      if (a.rows[i].index[k] != b.rows[i].index[k] || a.rows[i].iterations[k] != b.rows[i].iterations[k]) return false;
    }
  return true;
}

bool wanted(const std::string& list, const char* name) {
  if (list.empty()) return true;
  return ("," + list + ",").find(std::string(",") + name + ",") != std::string::npos;
}

}  // namespace

int main(int argc, char** argv) {
  ensure_extended_precision();
  std::string views;
  int threads = 0;
  int repeat = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--views" && i + 1 < argc) {
      views = argv[++i];
    } else if (arg == "--threads" && i + 1 < argc) {
      threads = std::atoi(argv[++i]);
    } else if (arg == "--repeat" && i + 1 < argc) {
      repeat = std::max(1, std::atoi(argv[++i]));
    } else {
      std::fprintf(stderr, "usage: %s [--views default,boundary,interior,interior93] [--threads N] [--repeat R]\n",
                   argv[0]);
      return 2;
    }
  }
  threads = worker_count(threads);

  std::printf("%d worker threads, best of %d\n\n", threads, repeat);
  std::printf("| view | size | limit | iterations | plain s | fast 1 thread s | fast %d threads s | ratio | "
              "plain Mit/s | fast Mit/s | efficiency |\n",
              threads);
  std::printf("|---|---|---|---|---|---|---|---|---|---|---|\n");
  std::fflush(stdout);

  RenderWorkers workers;
  bool all_equal = true;
  for (const NamedView& v : named_views) {
    if (!wanted(views, v.name)) continue;
    Session s;
    s.params.width = v.width;
    s.params.height = v.height;
    s.params.max_magnification = max_magnification_for_width(v.width);
    s.params.center_x = v.center_x;
    s.params.center_y = v.center_y;
    s.params.magnification = v.magnification;
    s.params.angle = 0;
    s.params.last_color_index = 235;
    derive_view(s.params, s.view);
    const PictureJob job = make_picture_job(s);
    const std::vector<int> order = row_order(v.height);

    Picture plain;
    Picture fast;
    double plain_s = 1e300;
    double one_s = 1e300;
    double many_s = 1e300;
    for (int r = 0; r < repeat; ++r) {
      plain_s = std::min(plain_s, run_plain(job, order, plain));
      one_s = std::min(one_s, run_fast(workers, job, order, 1, fast));
      all_equal = all_equal && same(plain, fast, v.width);
      many_s = std::min(many_s, run_fast(workers, job, order, threads, fast));
      all_equal = all_equal && same(plain, fast, v.width);
    }
    const double total = static_cast<double>(plain.total);
    std::printf("| %s (%s) | %dx%d | %d | %lld | %.3f | %.3f | %.3f | %.1f | %.1f | %.1f | %.2f |\n", v.name, v.what,
                v.width, v.height, s.view.iteration_limit, static_cast<long long>(plain.total), plain_s, one_s, many_s,
                plain_s / many_s, total / plain_s / 1e6, total / many_s / 1e6, one_s / (threads * many_s));
    std::fflush(stdout);
  }
  std::printf("\n%s\n", all_equal ? "every decision and total equal on both paths"
                                  : "MISMATCH between the plain and the fast path");
  return all_equal ? 0 : 1;
}
