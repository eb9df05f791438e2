#include "engine/fpu.hpp"

namespace zeno {

uint16_t x87_control_word() {
  uint16_t word = 0;
  asm volatile("fnstcw %0" : "=m"(word) : : "memory");
  return word;
}

void ensure_extended_precision() {
  const uint16_t word = x87_extended_control_word;
  asm volatile("fldcw %0" : : "m"(word) : "memory");
}

void keep_extended_precision() {
  if (x87_control_word() != x87_extended_control_word) {
    ensure_extended_precision();
  }
}

}  // namespace zeno
