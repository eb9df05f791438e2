#pragma once
// The number layouts of every text the program writes (run log, window title,
// the parameter dialog's boxes) and the number reader that reads the dialog's
// boxes back.
//
// All writers share one digit generator: the value's first 17 significant
// decimal digits, correctly rounded, are rounded once more at the position the
// layout needs, a following digit of 5 or more rounding up (away from zero).
// Pure functions: no I/O, no locale.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zeno {

// Fixed(w, d): the value rounded to `decimals` decimals with a decimal point,
// right-justified in `width` columns. No digit is written before the point
// when the integer part of the rounded value is zero (".90000", "-.75"). A
// value that rounds to zero carries no sign. A text wider than `width`, and
// a value that is not finite, fill the field with asterisks.
std::string fixed_layout(long double value, int width, int decimals);

// Integer(w): the integer right-justified in `width` columns, asterisks when
// it does not fit.
std::string integer_layout(int64_t value, int width);

// The two exponent forms of General(w, d).
enum class GeneralStyle {
  run_log,  // ".12346E+06": point, d significant digits, E, sign, two digits
  title,    // "1.235E+05": one digit, point, d digits, E, sign, two digits
};

// General(w, d) for a positive value. When the value rounded to `digits`
// significant digits is at least 0.1 and below 10^digits: Fixed(w - 4, d - k)
// followed by four blanks, k being the number of digits before the point of
// the rounded value (0 below 1). Otherwise the exponent form of `style`,
// right-justified in `width` columns.
std::string general_layout(long double value, int width, int digits, GeneralStyle style);

// The general real form of the dialog's view boxes, without leading or
// trailing blanks: double precision with 15 decimals, 16 significant digits
// and a 3-digit exponent ("-7.454298994000000E-001", "-2.000000000000000");
// single precision with 6, 7 and 2 ("9.000000E-01", "12.500000"). Values from
// 1 up to 10 000 000 (decided before rounding) take the fixed form, all others
// the exponent form. Zero of either sign is "0.000000000000000E+000" or
// "0.000000E+00".
std::string general_real_form(double value);
std::string general_real_form(float value);

// The border width box: Fixed(6, 2) ("   .15", "  1.50", "******").
std::string width_box_text(float value);

// The angle box: Integer(6) ("     0", "    -1", "   270").
std::string angle_box_text(int32_t value);

// Number texts are fixed-length fields; the reader looks at this many
// characters at most.
inline constexpr std::size_t number_text_length = 128;

// The number reader. The text is cut to its first 128 characters; leading
// blanks are skipped; then an optional sign, digits with an optional decimal
// point (at least one digit), an optional exponent (E or e, optional sign,
// digits), and nothing but blanks after it. The decimal value is rounded once,
// directly to the stored precision; a value too small for it reads as zero
// of its sign.
//
// Returns false, leaving `out` untouched, for anything else: an empty or
// blank text, letters, words such as inf or nan, hexadecimal, text after the
// number, or a value too large for the type.
bool read_double(std::string_view text, double& out);
bool read_float(std::string_view text, float& out);

// The integer reader: optional sign and digits only, within the 32-bit range.
bool read_int32(std::string_view text, int32_t& out);

}  // namespace zeno
