#include "driver/render_workers.hpp"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <unordered_map>

#include "driver/render.hpp"
#include "engine/fpu.hpp"
#include "engine/pixel.hpp"

namespace zeno {

void lower_worker_priority() {
  const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
  errno = 0;
  const int nice_value = ::getpriority(PRIO_PROCESS, tid);
  if (errno != 0) return;
  ::setpriority(PRIO_PROCESS, tid, std::min(nice_value + worker_nice_steps, 19));
}

int worker_count(int requested) {
  if (requested > 0) return requested;
  const unsigned hardware = std::thread::hardware_concurrency();
  return hardware > 0 ? static_cast<int>(hardware) : 1;
}

namespace {

// A row of the picture, in the render loop's order.
struct Slot {
  double y = 0.0;  // imaginary part of the row
  int source = 0;  // the slot whose decisions this row takes: itself, or its mirror
};

// A run of pixels of one row, decided in one go.
struct Unit {
  int slot = 0;
  int begin = 0;
  int end = 0;
};

uint64_t bits(double v) { return std::bit_cast<uint64_t>(v); }

}  // namespace

struct RenderWorkers::State {
  mutable std::mutex m;
  std::condition_variable work;     // workers wait here for a picture
  std::condition_variable decided;  // the render loop waits here for a row, finish() for idle workers
  std::vector<std::thread> threads;
  bool quit = false;
  bool active = false;       // a picture is being decided
  uint64_t generation = 0;   // counts the pictures started
  int busy = 0;              // workers inside the current picture

  // The picture. Written by start() while no worker is busy, read-only
  // while it is decided.
  PictureJob job;
  std::vector<double> column_re;
  std::vector<Slot> slots;
  std::vector<Unit> units;
  std::vector<RowDecisions> rows;              // by slot; grows, never shrinks
  std::vector<std::atomic<int>> units_left;    // by slot: 0 once the row is decided
  std::atomic<std::size_t> next_unit{0};
  std::atomic<bool> cancel{false};

  void run_worker();
  void decide_units();
  void stop_threads();
};

void RenderWorkers::State::run_worker() {
  ensure_extended_precision();
  lower_worker_priority();
  uint64_t seen = 0;
  std::unique_lock lock(m);
  for (;;) {
    work.wait(lock, [&] { return quit || (active && generation != seen); });
    if (quit) return;
    seen = generation;
    ++busy;
    lock.unlock();
    decide_units();
    lock.lock();
    if (--busy == 0) decided.notify_all();
  }
}

void RenderWorkers::State::decide_units() {
  PixelDecision out[unit_pixels];
  for (;;) {
    if (cancel.load(std::memory_order_relaxed)) return;
    const std::size_t u = next_unit.fetch_add(1, std::memory_order_relaxed);
    if (u >= units.size()) return;
    const Unit& unit = units[u];
    const int n = unit.end - unit.begin;
    if (!decide_pixels(&column_re[static_cast<std::size_t>(unit.begin)], slots[static_cast<std::size_t>(unit.slot)].y,
                       n, job.rule, *job.angles, out, &cancel))
      return;
    RowDecisions& row = rows[static_cast<std::size_t>(unit.slot)];
    for (int i = 0; i < n; ++i) {
      row.index[static_cast<std::size_t>(unit.begin + i)] = out[i].index;
      row.iterations[static_cast<std::size_t>(unit.begin + i)] = out[i].iterations;
    }
    if (units_left[static_cast<std::size_t>(unit.slot)].fetch_sub(1, std::memory_order_acq_rel) == 1) {
      const std::lock_guard lock(m);
      decided.notify_all();
    }
  }
}

void RenderWorkers::State::stop_threads() {
  {
    const std::lock_guard lock(m);
    quit = true;
  }
  work.notify_all();
  for (std::thread& t : threads) t.join();
  threads.clear();
  const std::lock_guard lock(m);
  quit = false;
}

RenderWorkers::RenderWorkers() : state_(std::make_unique<State>()) {}

RenderWorkers::~RenderWorkers() {
  finish();
  state_->stop_threads();
}

void RenderWorkers::start(const PictureJob& job, const std::vector<int>& order, int threads) {
  if (job.width < 1 || job.width > max_picture_width || job.angles == nullptr)
    throw std::invalid_argument("RenderWorkers::start: picture width out of range or no angle table");
  finish();
  State& st = *state_;
  threads = std::max(threads, 1);
  if (static_cast<int>(st.threads.size()) != threads) {
    st.stop_threads();
    st.threads.reserve(static_cast<std::size_t>(threads));
    for (int i = 0; i < threads; ++i) st.threads.emplace_back([&st] { st.run_worker(); });
  }

  const std::lock_guard lock(st.m);
  st.job = job;
  st.column_re.resize(static_cast<std::size_t>(job.width));
  for (int c = 0; c < job.width; ++c) st.column_re[static_cast<std::size_t>(c)] = column_real(job, c);

  // Every row keeps the real parts of the columns, so a row whose imaginary
  // part is the exact negative of an earlier one's mirrors it. Escape and
  // Integer (with or without Border) depend only on the count, the squared
  // modulus and the distance estimate, which are the same for the conjugate
  // orbit; Azimuthal depends on the angle, which is not.
  const bool mirrors = job.rule.angle <= 0;
  const std::size_t n = order.size();
  st.slots.assign(n, Slot{});
  st.units.clear();
  if (st.rows.size() < n) st.rows.resize(n);
  if (st.units_left.size() < n) st.units_left = std::vector<std::atomic<int>>(n);
  std::unordered_map<uint64_t, int> first_with;
  first_with.reserve(n);
  const int units_per_row = (job.width + unit_pixels - 1) / unit_pixels;
  for (std::size_t i = 0; i < n; ++i) {
    Slot& slot = st.slots[i];
    slot.y = row_imaginary(job, order[i]);
    slot.source = static_cast<int>(i);
    const auto mirror = mirrors ? first_with.find(bits(-slot.y)) : first_with.end();
    if (mirror != first_with.end()) {
      slot.source = st.slots[static_cast<std::size_t>(mirror->second)].source;
      st.units_left[i].store(0, std::memory_order_relaxed);
    } else {
      st.units_left[i].store(units_per_row, std::memory_order_relaxed);
      for (int begin = 0; begin < job.width; begin += unit_pixels)
        st.units.push_back(Unit{static_cast<int>(i), begin, std::min(begin + unit_pixels, job.width)});
    }
    first_with.emplace(bits(slot.y), static_cast<int>(i));
  }

  st.next_unit.store(0, std::memory_order_relaxed);
  st.cancel.store(false, std::memory_order_relaxed);
  st.active = true;
  ++st.generation;
  st.work.notify_all();
}

const RowDecisions& RenderWorkers::row(std::size_t i) {
  State& st = *state_;
  const auto source = static_cast<std::size_t>(st.slots[i].source);
  if (st.units_left[source].load(std::memory_order_acquire) != 0) {
    std::unique_lock lock(st.m);
    st.decided.wait(lock, [&] { return st.units_left[source].load(std::memory_order_acquire) == 0; });
  }
  return st.rows[source];
}

void RenderWorkers::finish() noexcept {
  State& st = *state_;
  std::unique_lock lock(st.m);
  if (!st.active) return;
  st.cancel.store(true, std::memory_order_relaxed);
  st.active = false;
  st.decided.wait(lock, [&] { return st.busy == 0; });
}

int RenderWorkers::threads() const {
  const std::lock_guard lock(state_->m);
  return static_cast<int>(state_->threads.size());
}

bool RenderWorkers::idle() const {
  const std::lock_guard lock(state_->m);
  return !state_->active && state_->busy == 0;
}

}  // namespace zeno
