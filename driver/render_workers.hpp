#pragma once
// The pixel workers: threads that decide the rows of the picture being
// rendered ahead of the render loop, in its row order.
//
// A row is cut into work units of a few dozen pixels; the workers take the
// units in row order, so all of them help finish the row the render loop is
// waiting for before they go further ahead. The loop still paints, writes
// and polls one row at a time on its own thread; it only reads the decisions
// from here (render.cpp). Under Escape and Integer a row whose imaginary
// part is the exact negative of an earlier row's has the same decisions
// (the orbits are exact mirror images), so it is not decided again.
//
// The threads are started with the first picture and kept for the next ones;
// they run below the priority of the thread that starts them, and each puts
// its x87 unit into extended precision first.

#include <cstddef>
#include <memory>
#include <vector>

namespace zeno {

struct PictureJob;
struct RowDecisions;

// Nice steps by which a worker runs below the thread that starts it.
inline constexpr int worker_nice_steps = 5;

// Raises the calling thread's nice value by worker_nice_steps (at most to 19).
void lower_worker_priority();

// The number of workers for a requested count: 0 means one per hardware thread.
int worker_count(int requested);

// Pixels in one work unit.
inline constexpr int unit_pixels = 64;

class RenderWorkers {
 public:
  RenderWorkers();
  // Stops the picture in progress, if any, and ends the threads.
  ~RenderWorkers();
  RenderWorkers(const RenderWorkers&) = delete;
  RenderWorkers& operator=(const RenderWorkers&) = delete;

  // Starts deciding the rows of `job` in `order` on `threads` workers
  // (started, or restarted with the new count, as needed). The angle table
  // the job points to must stay unchanged until finish().
  void start(const PictureJob& job, const std::vector<int>& order, int threads);

  // The decisions for order[i], once every unit of it is decided. Only the
  // thread that called start() calls this, between start() and finish().
  const RowDecisions& row(std::size_t i);

  // Stops deciding (rows decided ahead are dropped) and returns once every
  // worker is idle; a worker inside a long point sees the stop within a few
  // thousand passes.
  void finish() noexcept;

  // Threads running now.
  int threads() const;

  // Whether every worker is idle (no picture being decided).
  bool idle() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// While it lives, the workers decide one picture; when it goes, after the
// last row, a stop or an exception, they stop and are idle again.
class DecidedRows {
 public:
  DecidedRows(RenderWorkers& workers, const PictureJob& job, const std::vector<int>& order, int threads)
      : workers_(workers) {
    workers_.start(job, order, threads);
  }
  ~DecidedRows() { workers_.finish(); }
  DecidedRows(const DecidedRows&) = delete;
  DecidedRows& operator=(const DecidedRows&) = delete;

  const RowDecisions& row(std::size_t i) { return workers_.row(i); }

 private:
  RenderWorkers& workers_;
};

}  // namespace zeno
