#include "engine/kernel_fast.hpp"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>

#include "engine/fpu.hpp"
#include "engine/kernel.hpp"

namespace zeno {

namespace {

constexpr int lanes = 3;
constexpr float escape_threshold = 1000000.0f;

// Why the deferred test is exact. Once |z|^2 > 10^6, |z| > 1000 and the next
// iterate has |z^2 + c| >= |z|^2 - |c| > |z| as long as |c| is far below
// 10^6: an escaped orbit stays escaped (or overflows to infinity or NaN,
// which the test also treats as escaped), so the iterate at the end of a
// block is beyond the threshold exactly when some pass inside the block
// escaped. Points with a larger c take the reference loop.
constexpr double largest_fast_c = 1024.0;

// Blocks between two looks at the cancellation flag (4096 passes).
constexpr int32_t blocks_between_looks = 4096 / kernel_block_passes;

// What the register loop reads and writes. The offsets are spelled out in
// the assembly below.
struct alignas(16) LaneBlock {
  long double z[2 * lanes];      // the lanes' iterates x0 y0 x1 y1 x2 y2, in and out
  long double start[2 * lanes];  // the iterates at the start of the last block
  long double saved[2 * lanes];  // the iterates saved for cycle detection
  double c[2 * lanes];           // c_re0 c_im0 c_re1 ...
  float threshold = escape_threshold;
  int32_t countdown[lanes];      // blocks until the next iterate is saved
  int32_t interval[lanes];       // blocks between the last two saves; doubles
};
static_assert(sizeof(long double) == 16, "x87 extended values are stored in 16-byte slots");
static_assert(offsetof(LaneBlock, start) == 96 && offsetof(LaneBlock, saved) == 192 &&
              offsetof(LaneBlock, c) == 288 && offsetof(LaneBlock, threshold) == 336 &&
              offsetof(LaneBlock, countdown) == 340 && offsetof(LaneBlock, interval) == 352);

// Why the register loop stopped.
enum Stop : int32_t { ran_all_blocks = 0, escaped_in_block = 1, repeat_seen = 2 };

// One pass of the lane whose x sits at st(X) and y at st(Y), Y = X + 1; the
// other lanes end where they began. Y1 = Y + 1. The operations are those of
// the reference loop, in the same order:
//   x' = (x*x - y*y) + c_re,   y' = 2*(x*y) + c_im,
// the doubling as an exact addition, c added from its binary64 value. One
// copy (of x) is made; everything else is renaming with fxch, which costs
// next to nothing, so each lane's chain is a multiply and two additions.
#define ZENO_LANE_PASS(TO_X, Y, Y1, CR, CI) \
  TO_X                                       \
  "fld %%st(0)\n\t"                           \
  "fmul %%st(0), %%st\n\t"      /* xx, x */   \
  "fxch %%st(1)\n\t"                          \
  "fmul %%st(" Y1 "), %%st\n\t" /* x*y, xx */ \
  "fxch %%st(" Y1 ")\n\t"                     \
  "fmul %%st(0), %%st\n\t"      /* yy, xx */  \
  "fsubrp %%st, %%st(1)\n\t"    /* xx - yy */ \
  "faddl " CR "(%[b])\n\t"      /* x' */      \
  "fxch %%st(" Y ")\n\t"                      \
  "fadd %%st(0), %%st\n\t"      /* 2*(x*y) */ \
  "faddl " CI "(%[b])\n\t"      /* y' */      \
  "fxch %%st(" Y ")\n\t"        /* x', y' */  \
  TO_X

// Leaves for label 8 when the lane with x at st(X) lies beyond the
// threshold: x*x + y*y > 10^6, or unordered. X1 = X + 1, Y1 = Y + 1.
#define ZENO_ESCAPE_TEST(X, Y1)                                      \
  "fld %%st(" X ")\n\t"                                               \
  "fmul %%st(0), %%st\n\t"                                            \
  "fld %%st(" Y1 ")\n\t"                                              \
  "fmul %%st(0), %%st\n\t"                                            \
  "faddp %%st, %%st(1)\n\t" /* xx + yy */                             \
  "flds 336(%[b])\n\t"                                                \
  "fcomip %%st(1), %%st\n\t" /* carry: threshold below, or NaN */     \
  "fstp %%st(0)\n\t"                                                  \
  "jb 8f\n\t"

// Leaves for label 7 when the lane with x at st(X) equals (==) its saved
// iterate; the caller decides whether the bits agree too.
#define ZENO_REPEAT_TEST(X1, Y1, SX, SY) \
  "fldt " SX "(%[b])\n\t"                 \
  "fucomip %%st(" X1 "), %%st\n\t"        \
  "jne 3f\n\t"                            \
  "jp 3f\n\t"                             \
  "fldt " SY "(%[b])\n\t"                 \
  "fucomip %%st(" Y1 "), %%st\n\t"        \
  "jne 3f\n\t"                            \
  "jp 3f\n\t"                             \
  "jmp 7f\n"                              \
  "3:\n\t"

// Counts down the lane's blocks to its next save; at zero, saves the lane
// with x at st(X) and y at st(Y) and doubles its interval (Brent).
#define ZENO_SAVE(X, Y, SX, SY, COUNTDOWN, INTERVAL) \
  "decl " COUNTDOWN "(%[b])\n\t"                     \
  "jnz 4f\n\t"                                       \
  "fld %%st(" X ")\n\t"                              \
  "fstpt " SX "(%[b])\n\t"                           \
  "fld %%st(" Y ")\n\t"                              \
  "fstpt " SY "(%[b])\n\t"                           \
  "mov " INTERVAL "(%[b]), %[t]\n\t"                 \
  "add %[t], %[t]\n\t"                               \
  "mov %[t], " INTERVAL "(%[b])\n\t"                 \
  "mov %[t], " COUNTDOWN "(%[b])\n"                   \
  "4:\n\t"

// Runs blocks of kernel_block_passes passes of all three lanes entirely in
// the register stack (six values in st(0)..st(5), a seventh for the copy),
// until `max_blocks` blocks are done, a lane ends a block beyond the
// threshold, or a lane is back at its saved iterate. Before each block the
// iterates are put aside in `start`; after each block the lanes whose
// countdown ends are saved for cycle detection. Returns why it stopped; `blocks` tells
// how many blocks were run, the last one included.
Stop run_lanes(LaneBlock& b, int32_t max_blocks, int32_t& blocks) {
  int32_t stop = ran_all_blocks;
  int32_t passes = 0;
  int32_t done = 0;
  int32_t t = 0;
  asm volatile(
      "fldt 80(%[b])\n\t"
      "fldt 64(%[b])\n\t"
      "fldt 48(%[b])\n\t"
      "fldt 32(%[b])\n\t"
      "fldt 16(%[b])\n\t"
      "fldt 0(%[b])\n\t"
      "1:\n\t"
      "fld %%st(0)\n\t"
      "fstpt 96(%[b])\n\t"
      "fld %%st(1)\n\t"
      "fstpt 112(%[b])\n\t"
      "fld %%st(2)\n\t"
      "fstpt 128(%[b])\n\t"
      "fld %%st(3)\n\t"
      "fstpt 144(%[b])\n\t"
      "fld %%st(4)\n\t"
      "fstpt 160(%[b])\n\t"
      "fld %%st(5)\n\t"
      "fstpt 176(%[b])\n\t"
      "mov %[block_passes], %[passes]\n\t"
      ".p2align 4\n"
      "2:\n\t"
      ZENO_LANE_PASS("", "1", "2", "288", "296")
      ZENO_LANE_PASS("fxch %%st(2)\n\t", "3", "4", "304", "312")
      ZENO_LANE_PASS("fxch %%st(4)\n\t", "5", "6", "320", "328")
      "dec %[passes]\n\t"
      "jnz 2b\n\t"
      "inc %[done]\n\t"
      ZENO_ESCAPE_TEST("0", "2")
      ZENO_ESCAPE_TEST("2", "4")
      ZENO_ESCAPE_TEST("4", "6")
      ZENO_REPEAT_TEST("1", "2", "192", "208")
      ZENO_REPEAT_TEST("3", "4", "224", "240")
      ZENO_REPEAT_TEST("5", "6", "256", "272")
      ZENO_SAVE("0", "1", "192", "208", "340", "352")
      ZENO_SAVE("2", "3", "224", "240", "344", "356")
      ZENO_SAVE("4", "5", "256", "272", "348", "360")
      "cmp %[max], %[done]\n\t"
      "jb 1b\n\t"
      "jmp 9f\n"
      "8:\n\t"
      "mov $1, %[stop]\n\t"
      "jmp 9f\n"
      "7:\n\t"
      "mov $2, %[stop]\n"
      "9:\n\t"
      "fstpt 0(%[b])\n\t"
      "fstpt 16(%[b])\n\t"
      "fstpt 32(%[b])\n\t"
      "fstpt 48(%[b])\n\t"
      "fstpt 64(%[b])\n\t"
      "fstpt 80(%[b])\n\t"
      : [stop] "+r"(stop), [passes] "+r"(passes), [done] "+r"(done), [t] "+r"(t)
      : [b] "r"(&b), [max] "r"(max_blocks), [block_passes] "i"(kernel_block_passes)
      : "cc", "memory", "st", "st(1)", "st(2)", "st(3)", "st(4)", "st(5)", "st(6)", "st(7)");
  blocks = done;
  return static_cast<Stop>(stop);
}

#undef ZENO_LANE_PASS
#undef ZENO_ESCAPE_TEST
#undef ZENO_REPEAT_TEST
#undef ZENO_SAVE

// The 80 bits of an extended value; the rest of its slot is padding.
bool same_bits(long double a, long double b) { return std::memcmp(&a, &b, 10) == 0; }

// A saved iterate that is never met: a NaN compares unequal to everything,
// and an orbit that has not escaped holds no NaN.
constexpr long double nothing_saved = std::numeric_limits<long double>::quiet_NaN();

// What an idle lane holds: 0 with c = 0 stays 0, never escapes and never
// saves.
void make_idle(LaneBlock& b, int k) {
  b.z[2 * k] = b.z[2 * k + 1] = 0.0L;
  b.c[2 * k] = b.c[2 * k + 1] = 0.0;
  b.saved[2 * k] = b.saved[2 * k + 1] = nothing_saved;
  b.countdown[k] = b.interval[k] = 1 << 30;
}

// A lane starting on c, with its first save after one block.
void start_lane(LaneBlock& b, int k, double c_re, double c_im) {
  b.c[2 * k] = c_re;
  b.c[2 * k + 1] = c_im;
  b.z[2 * k] = c_re;
  b.z[2 * k + 1] = c_im;
  b.saved[2 * k] = b.saved[2 * k + 1] = nothing_saved;
  b.countdown[k] = b.interval[k] = 1;
}

// A point on its way through a lane.
struct Lane {
  KernelPoint* point = nullptr;  // nullptr: the lane is idle
  int32_t done = 0;              // passes made so far
};

// Continues the reference loop from the iterate (x, y) reached after `done`
// passes, testing every pass, for at most `passes` passes. On escape, `done`
// is the escaping pass and modulus2 the squared modulus that passed.
bool step_passes(long double& x, long double& y, long double cr, long double ci, int32_t passes, int32_t& done,
                 long double& modulus2) {
  const long double threshold = escape_threshold;
  long double xx = x * x;
  long double yy = y * y;
  for (int32_t i = 0; i < passes; ++i) {
    ++done;
    const long double next_x = (xx - yy) + cr;
    const long double next_y = 2.0L * (x * y) + ci;
    x = next_x;
    y = next_y;
    xx = x * x;
    yy = y * y;
    modulus2 = xx + yy;
    if (modulus2 > threshold) return true;
  }
  return false;
}

// Finishes the lane's point pass by pass from (x, y), reached after
// lane.done passes, up to the limit.
void finish_by_steps(Lane& lane, long double x, long double y, int32_t limit, int32_t output_mode) {
  KernelPoint& p = *lane.point;
  long double modulus2 = 0.0L;
  const bool escaped = step_passes(x, y, p.c_re, p.c_im, limit - lane.done, lane.done, modulus2);
  p.count = escaped ? lane.done : limit;
  p.passes_made = lane.done;
  report_point(escaped, p.count, modulus2, x, y, output_mode, p.escape_value, p.final_angle);
  lane.point = nullptr;
}

// The orbit came back to a saved iterate bit for bit, so it repeats forever
// without escaping: what running to the limit gives.
void finish_as_cycle(Lane& lane, int32_t limit, int32_t output_mode) {
  KernelPoint& p = *lane.point;
  p.count = limit;
  p.passes_made = lane.done;
  report_point(false, limit, 0.0L, 0.0L, 0.0L, output_mode, p.escape_value, p.final_angle);
  lane.point = nullptr;
}

}  // namespace

bool iterate_points(KernelPoint* points, int n, int32_t iteration_limit, int32_t output_mode,
                    const std::atomic<bool>* cancel) {
  keep_extended_precision();
  const long double threshold = escape_threshold;

  Lane lane[lanes];
  LaneBlock b;
  for (int k = 0; k < lanes; ++k) make_idle(b, k);
  int taken = 0;

  for (;;) {
    // Give every idle lane a point that needs at least one more whole block;
    // points that need less finish pass by pass here.
    int active = 0;
    int32_t max_blocks = blocks_between_looks;
    for (int k = 0; k < lanes; ++k) {
      Lane& l = lane[k];
      for (;;) {
        if (l.point == nullptr) {
          if (taken == n) break;
          KernelPoint& p = points[taken++];
          if (!(std::fabs(p.c_re) < largest_fast_c && std::fabs(p.c_im) < largest_fast_c)) {
            iterate_point(p.c_re, p.c_im, iteration_limit, p.count, p.escape_value, p.final_angle, output_mode);
            p.passes_made = p.count;
            continue;
          }
          l = Lane{};
          l.point = &p;
          start_lane(b, k, p.c_re, p.c_im);
        }
        if (iteration_limit - l.done >= kernel_block_passes) break;
        finish_by_steps(l, b.z[2 * k], b.z[2 * k + 1], iteration_limit, output_mode);
      }
      if (l.point == nullptr) {
        make_idle(b, k);
        continue;
      }
      ++active;
      // Stop in time for the limit.
      const int32_t to_limit = (iteration_limit - l.done) / kernel_block_passes;
      if (to_limit < max_blocks) max_blocks = to_limit;
    }
    if (active == 0) return true;
    if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) return false;

    int32_t blocks = 0;
    const Stop stop = run_lanes(b, max_blocks, blocks);

    for (int k = 0; k < lanes; ++k) {
      Lane& l = lane[k];
      if (l.point == nullptr) continue;
      const long double x = b.z[2 * k];
      const long double y = b.z[2 * k + 1];
      if (stop == escaped_in_block) {
        const long double modulus2 = x * x + y * y;
        if (!(modulus2 <= threshold)) {
          // Escaped inside the last block: take that block again from its
          // start, testing every pass.
          l.done += (blocks - 1) * kernel_block_passes;
          finish_by_steps(l, b.start[2 * k], b.start[2 * k + 1], iteration_limit, output_mode);
          continue;
        }
      }
      l.done += blocks * kernel_block_passes;
      if (stop == repeat_seen && x == b.saved[2 * k] && y == b.saved[2 * k + 1]) {
        if (same_bits(x, b.saved[2 * k]) && same_bits(y, b.saved[2 * k + 1])) {
          finish_as_cycle(l, iteration_limit, output_mode);
          continue;
        }
        // Equal but for the sign of a zero: not taken as a repeat; keep
        // this iterate instead, so that it is not met again.
        b.saved[2 * k] = x;
        b.saved[2 * k + 1] = y;
      }
    }
  }
}

void iterate_point_fast(double c_re, double c_im, int32_t iteration_limit, int32_t& iteration_count,
                        float& escape_value, float& final_angle, int32_t output_mode) {
  KernelPoint p{c_re, c_im};
  iterate_points(&p, 1, iteration_limit, output_mode);
  iteration_count = p.count;
  if (output_mode == 0) escape_value = p.escape_value;
  if (output_mode > 0) final_angle = p.final_angle;
}

}  // namespace zeno
