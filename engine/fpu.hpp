#pragma once
// The x87 state every computing thread works in: 64-bit significand, round to
// nearest-even, all exceptions masked.

#include <cstdint>

namespace zeno {

inline constexpr uint16_t x87_extended_control_word = 0x037F;

// The calling thread's x87 control word.
uint16_t x87_control_word();

// Sets the calling thread's x87 control word to x87_extended_control_word.
void ensure_extended_precision();

// Calls ensure_extended_precision() when the control word differs from
// x87_extended_control_word; cheap enough to call once per pixel.
void keep_extended_precision();

}  // namespace zeno
