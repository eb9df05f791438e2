// Extended precision: the x87 state of computing threads, and results that
// only extended arithmetic gives.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <thread>

#include "engine/fpu.hpp"
#include "engine/kernel.hpp"
#include "engine/pixel.hpp"

namespace zeno {
namespace {

constexpr uint16_t double_precision_control_word = 0x027F;

void load_control_word(uint16_t word) { asm volatile("fldcw %0" : : "m"(word) : "memory"); }

// 1 + 2^-60 with inputs the compiler cannot see: 1 in double precision, not
// 1 in extended precision.
bool sum_keeps_low_bit() {
  volatile long double one = 1.0L;
  volatile long double tiny = 0x1p-60L;
  const long double a = one;
  const long double b = tiny;
  volatile long double sum = a + b;
  return sum != a;
}

// The kernel iteration carried out in type T, for a precision reference.
template <typename T>
int32_t reference_count(double c_re, double c_im, int32_t limit, T* modulus2 = nullptr) {
  const T cr = c_re;
  const T ci = c_im;
  T x = cr;
  T y = ci;
  T xx = x * x;
  T yy = y * y;
  int32_t count = 0;
  for (;;) {
    ++count;
    const T nx = (xx - yy) + cr;
    const T ny = T(2) * (x * y) + ci;
    x = nx;
    y = ny;
    xx = x * x;
    yy = y * y;
    if (modulus2 != nullptr) {
      *modulus2 = xx + yy;
    }
    if (xx + yy > T(1000000.0f) || count == limit) {
      return count;
    }
  }
}

// A point near the boundary where binary64 arithmetic escapes 67 passes
// later than extended arithmetic does.
constexpr double sensitive_re = -0.7436438870371;
constexpr double sensitive_im = 0.1318259042053;
constexpr int32_t sensitive_count = 4875;       // extended
constexpr int32_t sensitive_double_count = 4942;  // binary64

TEST(Precision, ComputingThreadRunsWithSixtyFourBitSignificand) {
  uint16_t lowered = 0;
  bool lowered_keeps_bit = true;
  uint16_t restored = 0;
  bool restored_keeps_bit = false;
  std::thread worker([&] {
    // Start the thread from the wrong state so the check has teeth.
    load_control_word(double_precision_control_word);
    lowered = x87_control_word();
    lowered_keeps_bit = sum_keeps_low_bit();
    ensure_extended_precision();
    restored = x87_control_word();
    restored_keeps_bit = sum_keeps_low_bit();
  });
  worker.join();
  EXPECT_EQ(lowered, double_precision_control_word);
  EXPECT_FALSE(lowered_keeps_bit) << "the test cannot tell the precisions apart";
  EXPECT_EQ(restored, x87_extended_control_word);
  EXPECT_TRUE(restored_keeps_bit);
}

TEST(Precision, MainThreadIsExtended) {
  EXPECT_EQ(x87_control_word(), x87_extended_control_word);
  EXPECT_TRUE(sum_keeps_low_bit());
}

TEST(Precision, KernelEstablishesExtendedPrecisionOnAnyThread) {
  int32_t count = 0;
  uint16_t after = 0;
  bool keeps_bit = false;
  PixelDecision decision;
  std::thread worker([&] {
    float ev = 0.0f;
    float fa = 0.0f;
    load_control_word(double_precision_control_word);
    iterate_point(sensitive_re, sensitive_im, 10000, count, ev, fa, -1);
    after = x87_control_word();
    keeps_bit = sum_keeps_low_bit();
    load_control_word(double_precision_control_word);
    const PixelRule rule{10000, 65535, 0.0, -1, 235};
    decision = decide_pixel(sensitive_re, sensitive_im, rule, AngleTable{});
  });
  worker.join();
  EXPECT_EQ(count, sensitive_count);
  EXPECT_EQ(after, x87_extended_control_word);
  EXPECT_TRUE(keeps_bit);
  EXPECT_EQ(decision.iterations, static_cast<uint32_t>(sensitive_count));
}

TEST(Precision, KernelResultIsTheExtendedOneNotTheDoubleOne) {
  // The references in both precisions really differ here...
  ASSERT_EQ(reference_count<long double>(sensitive_re, sensitive_im, 10000), sensitive_count);
  ASSERT_EQ(reference_count<double>(sensitive_re, sensitive_im, 10000), sensitive_double_count);

  // ...and the kernel agrees with the extended one, escape value included.
  int32_t count = 0;
  float escape_value = 0.0f;
  float final_angle = 0.0f;
  iterate_point(sensitive_re, sensitive_im, 10000, count, escape_value, final_angle, 0);
  EXPECT_EQ(count, sensitive_count);
  long double modulus2 = 0.0L;
  reference_count<long double>(sensitive_re, sensitive_im, 10000, &modulus2);
  EXPECT_EQ(escape_value,
            static_cast<float>((1.0L - log2l(logl(modulus2))) + static_cast<long double>(sensitive_count)));

  // Under Integer the two counts land on different colours.
  const PixelRule rule{10000, 65535, 0.0, -1, 235};
  EXPECT_EQ(decide_pixel(sensitive_re, sensitive_im, rule, AngleTable{}).index, 1 + (sensitive_count - 1) % 234);
  EXPECT_NE(1 + (sensitive_count - 1) % 234, 1 + (sensitive_double_count - 1) % 234);
}

}  // namespace
}  // namespace zeno
