#include "driver/format.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>

namespace zeno {
namespace {

// A decimal value 0.D1 D2 D3 ... x 10^exponent, D1 not 0 unless `zero`.
// Digits past the end of `digits` are 0.
struct Decimal {
  bool negative = false;
  bool zero = true;
  std::string digits;
  int exponent = 0;

  char digit(int position) const {  // 1-based
    if (position < 1 || position > static_cast<int>(digits.size())) return '0';
    return digits[static_cast<std::size_t>(position - 1)];
  }
};

constexpr int generated_digits = 17;

// The first 17 significant digits of a finite value, correctly rounded.
Decimal first_digits(long double value) {
  Decimal d;
  d.negative = std::signbit(value);
  if (value == 0.0L) return d;
  // "d.dddddddddddddddde+x": locale-free, exact conversion.
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                    std::chars_format::scientific, generated_digits - 1);
  const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
  const std::size_t e = text.find('e');
  d.digits.reserve(generated_digits);
  d.digits += text[0];
  d.digits += text.substr(2, e - 2);
  int exponent = 0;
  std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(),
                  exponent);
  d.exponent = exponent + 1;
  d.zero = false;
  return d;
}

// `d` rounded to `count` significant digits, a following digit of 5 or more
// rounding up. A carry out of the first digit raises the exponent. A count of
// 0 or less rounds to zero or, for count 0 and D1 >= 5, to one unit of the
// next higher power of ten.
Decimal rounded(const Decimal& d, int count) {
  if (d.zero) return d;
  Decimal r = d;
  if (count <= 0) {
    if (count == 0 && d.digit(1) >= '5') {
      r.digits = "1";
      r.exponent = d.exponent + 1;
    } else {
      r.zero = true;
      r.digits.clear();
      r.exponent = 0;
    }
    return r;
  }
  const auto n = static_cast<std::size_t>(count);
  if (n >= r.digits.size()) return r;
  const bool up = r.digits[n] >= '5';
  r.digits.resize(n);
  if (!up) return r;
  for (std::size_t i = n; i-- > 0;) {
    if (r.digits[i] != '9') {
      ++r.digits[i];
      return r;
    }
    r.digits[i] = '0';
  }
  r.digits[0] = '1';  // every kept digit was 9: 99.9 -> 100.
  ++r.exponent;
  return r;
}

std::string asterisks(int width) { return std::string(static_cast<std::size_t>(std::max(width, 0)), '*'); }

std::string right_justified(const std::string& text, int width) {
  if (text.size() > static_cast<std::size_t>(std::max(width, 0))) return asterisks(width);
  return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + text;
}

std::string digit_run(const Decimal& d, int first, int last) {
  std::string s;
  for (int i = first; i <= last; ++i) s += d.digit(i);
  return s;
}

// The exponent with its sign and at least `places` digits: "+05", "-001".
std::string exponent_text(int exponent, int places) {
  std::string digits = std::to_string(exponent < 0 ? -static_cast<long>(exponent) : exponent);
  if (digits.size() < static_cast<std::size_t>(places))
    digits.insert(0, static_cast<std::size_t>(places) - digits.size(), '0');
  return (exponent < 0 ? "-" : "+") + digits;
}

std::string real_form(long double value, int decimals, int significant, int exponent_places) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
  const Decimal d = first_digits(value);
  if (d.zero)
    return "0." + std::string(static_cast<std::size_t>(decimals), '0') + "E+" +
           std::string(static_cast<std::size_t>(exponent_places), '0');
  const bool fixed_form = d.exponent >= 1 && d.exponent <= 7;  // chosen before rounding
  const Decimal r = rounded(d, significant);
  std::string s = r.negative ? "-" : "";
  if (fixed_form) {
    s += digit_run(r, 1, r.exponent) + "." + digit_run(r, r.exponent + 1, r.exponent + decimals);
  } else {
    s += std::string(1, r.digit(1)) + "." + digit_run(r, 2, decimals + 1) + "E" +
         exponent_text(r.exponent - 1, exponent_places);
  }
  return s;
}

}  // namespace

std::string fixed_layout(long double value, int width, int decimals) {
  if (!std::isfinite(value) || decimals < 0) return asterisks(width);
  const Decimal d = first_digits(value);
  // An integer part alone wider than the field cannot fit: spare the digits.
  if (!d.zero && d.exponent > width) return asterisks(width);
  const Decimal r = rounded(d, d.exponent + decimals);
  std::string s = (r.negative && !r.zero) ? "-" : "";
  if (!r.zero && r.exponent >= 1)
    s += digit_run(r, 1, r.exponent);
  else if (decimals == 0)
    s += '0';  // the only digit of a zero without decimals
  const int point = r.zero ? 0 : r.exponent;
  s += '.';
  s += digit_run(r, point + 1, point + decimals);
  return right_justified(s, width);
}

std::string integer_layout(int64_t value, int width) {
  return right_justified(std::to_string(value), width);
}

std::string general_layout(long double value, int width, int digits, GeneralStyle style) {
  if (!std::isfinite(value) || digits < 1) return asterisks(width);
  const Decimal d = first_digits(value);
  const Decimal r = rounded(d, digits);
  // At least 0.1 and below 10^digits, after rounding to `digits` digits.
  if (!r.zero && !r.negative && r.exponent >= 0 && r.exponent <= digits) {
    const int k = std::max(r.exponent, 0);
    return fixed_layout(value, width - 4, digits - k) + "    ";
  }
  std::string s = (r.negative && !r.zero) ? "-" : "";
  if (style == GeneralStyle::run_log) {
    s += "." + digit_run(r, 1, digits) + "E" + exponent_text(r.zero ? 0 : r.exponent, 2);
  } else {
    const Decimal t = rounded(d, digits + 1);
    s += std::string(1, t.digit(1)) + "." + digit_run(t, 2, digits + 1) + "E" +
         exponent_text(t.zero ? 0 : t.exponent - 1, 2);
  }
  return right_justified(s, width);
}

std::string general_real_form(double value) { return real_form(value, 15, 16, 3); }

std::string general_real_form(float value) { return real_form(value, 6, 7, 2); }

std::string width_box_text(float value) { return fixed_layout(value, 6, 2); }

std::string angle_box_text(int32_t value) { return integer_layout(value, 6); }

// ---------------------------------------------------------------------------
// The number reader.

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// A number text that passed the syntax check.
struct ScannedNumber {
  std::string body;    // sign ("-" only), digits, point, exponent: ready for from_chars
  bool negative = false;
  // Decimal order of the first nonzero digit: the value lies in
  // [10^(order-1), 10^order). Saturated; meaningless for an all-zero text.
  long order = 0;
};

bool only_blanks(std::string_view text, std::size_t from) {
  for (std::size_t i = from; i < text.size(); ++i)
    if (!is_blank(text[i])) return false;
  return true;
}

bool scan_real(std::string_view text, ScannedNumber& out) {
  text = text.substr(0, number_text_length);
  std::size_t i = 0;
  while (i < text.size() && is_blank(text[i])) ++i;
  ScannedNumber n;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    n.negative = text[i] == '-';
    if (n.negative) n.body += '-';
    ++i;
  }
  std::size_t digit_count = 0;
  long integer_digits = 0;       // significant digits before the point
  long leading_fraction_zeros = 0;
  bool nonzero_seen = false;
  while (i < text.size() && is_digit(text[i])) {
    if (text[i] != '0') nonzero_seen = true;
    if (nonzero_seen) ++integer_digits;
    n.body += text[i++];
    ++digit_count;
  }
  if (i < text.size() && text[i] == '.') {
    n.body += text[i++];
    while (i < text.size() && is_digit(text[i])) {
      if (!nonzero_seen) {
        if (text[i] != '0') nonzero_seen = true;
        else ++leading_fraction_zeros;
      }
      n.body += text[i++];
      ++digit_count;
    }
  }
  if (digit_count == 0) return false;
  long exponent = 0;
  if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
    n.body += 'e';
    ++i;
    bool exponent_negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
      exponent_negative = text[i] == '-';
      if (exponent_negative) n.body += '-';
      ++i;
    }
    std::size_t exponent_digits = 0;
    while (i < text.size() && is_digit(text[i])) {
      exponent = std::min(exponent * 10 + (text[i] - '0'), 1000000L);
      n.body += text[i++];
      ++exponent_digits;
    }
    if (exponent_digits == 0) return false;
    if (exponent_negative) exponent = -exponent;
  }
  if (!only_blanks(text, i)) return false;
  n.order = (integer_digits > 0 ? integer_digits : -leading_fraction_zeros) + exponent;
  out = std::move(n);
  return true;
}

template <typename Real>
bool read_real(std::string_view text, Real& out) {
  ScannedNumber n;
  if (!scan_real(text, n)) return false;
  Real value{};
  const char* first = n.body.data();
  const char* last = first + n.body.size();
  const auto result = std::from_chars(first, last, value, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    // Too small for the type: the nearest value is zero of that sign.
    // Too large: refused.
    if (n.order > 0) return false;
    out = n.negative ? -Real(0) : Real(0);
    return true;
  }
  if (result.ec != std::errc() || result.ptr != last || !std::isfinite(value)) return false;
  out = value;
  return true;
}

}  // namespace

bool read_double(std::string_view text, double& out) { return read_real(text, out); }

bool read_float(std::string_view text, float& out) { return read_real(text, out); }

bool read_int32(std::string_view text, int32_t& out) {
  text = text.substr(0, number_text_length);
  std::size_t i = 0;
  while (i < text.size() && is_blank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t magnitude = 0;
  std::size_t digit_count = 0;
  while (i < text.size() && is_digit(text[i])) {
    magnitude = std::min<int64_t>(magnitude * 10 + (text[i++] - '0'), int64_t{1} << 40);
    ++digit_count;
  }
  if (digit_count == 0 || !only_blanks(text, i)) return false;
  const int64_t value = negative ? -magnitude : magnitude;
  if (value < INT32_MIN || value > INT32_MAX) return false;
  out = static_cast<int32_t>(value);
  return true;
}

}  // namespace zeno
