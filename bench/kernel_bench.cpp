// The escape iteration kernels: iterations per second of the plain
// reference loop and of the fast kernel, one point at a time and three
// interleaved, and TSC cycles per iteration.
//
// The points lie in the filaments of a deep view: they escape after a few
// hundred to a few thousand passes and never repeat, so cycle detection
// saves nothing here and the numbers are the kernels' raw speed.

#include <benchmark/benchmark.h>
#include <x86intrin.h>

#include <cstdint>
#include <vector>

#include "engine/kernel.hpp"
#include "engine/kernel_fast.hpp"

namespace zeno {
namespace {

constexpr int32_t limit = 65534;

// Points of one row of the boundary-heavy deep view that escape late.
const std::vector<KernelPoint>& filament_points() {
  static const std::vector<KernelPoint> points = [] {
    std::vector<KernelPoint> out;
    const double cx = -1.768778510238;
    const double cy = -0.001738899448;
    const double spacing = 2.5 / (640 * 1.7592186e10);
    for (int c = 0; c < 640 && out.size() < 96; c += 3) {
      KernelPoint p{cx + (c - 320) * spacing, cy + 37 * spacing};
      int32_t count = 0;
      float ev = 0.0f;
      float fa = 0.0f;
      iterate_point(p.c_re, p.c_im, limit, count, ev, fa, -1);
      if (count >= 300 && count < limit) out.push_back(p);
    }
    return out;
  }();
  return points;
}

void report(benchmark::State& state, int64_t iterations, uint64_t tsc) {
  state.counters["iterations/s"] = benchmark::Counter(static_cast<double>(iterations), benchmark::Counter::kIsRate);
  state.counters["tsc/iteration"] = static_cast<double>(tsc) / static_cast<double>(iterations);
}

// One point at a time through a kernel with iterate_point's signature.
using SinglePointKernel = void (*)(double, double, int32_t, int32_t&, float&, float&, int32_t);

template <SinglePointKernel kernel>
void BM_SinglePoint(benchmark::State& state) {
  const auto& points = filament_points();
  int64_t iterations = 0;
  uint64_t tsc = 0;
  for (auto _ : state) {
    const uint64_t t0 = __rdtsc();
    for (const KernelPoint& p : points) {
      int32_t count = 0;
      float ev = 0.0f;
      float fa = 0.0f;
      kernel(p.c_re, p.c_im, limit, count, ev, fa, -1);
      iterations += count;
    }
    tsc += __rdtsc() - t0;
  }
  report(state, iterations, tsc);
}
BENCHMARK(BM_SinglePoint<iterate_point>)->Name("BM_PlainSinglePoint")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SinglePoint<iterate_point_fast>)->Name("BM_FastSinglePoint")->Unit(benchmark::kMillisecond);

void BM_FastInterleaved(benchmark::State& state) {
  std::vector<KernelPoint> points = filament_points();
  int64_t iterations = 0;
  uint64_t tsc = 0;
  for (auto _ : state) {
    const uint64_t t0 = __rdtsc();
    iterate_points(points.data(), static_cast<int>(points.size()), limit, -1);
    tsc += __rdtsc() - t0;
    for (const KernelPoint& p : points) iterations += p.count;
  }
  report(state, iterations, tsc);
}
BENCHMARK(BM_FastInterleaved)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zeno

BENCHMARK_MAIN();
