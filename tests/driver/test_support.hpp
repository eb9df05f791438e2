#pragma once
// Helpers shared by the driver and batch-renderer tests: a scratch directory
// and a BMP reader written from the file format, independent of the writer.

#include <unistd.h>

#include <climits>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace zeno::test {

inline std::vector<uint8_t> read_bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string read_text(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void write_text(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

// A fresh directory under the system's temporary directory, removed afterwards.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zeno-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  // The names of the entries, sorted.
  std::set<std::string> names() const {
    std::set<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(path_)) out.insert(e.path().filename().string());
    return out;
  }

 private:
  std::filesystem::path path_;
};

// Makes a directory the current one for the lifetime of the object.
class CurrentDirectory {
 public:
  explicit CurrentDirectory(const std::filesystem::path& dir) : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  ~CurrentDirectory() {
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
  }

 private:
  std::filesystem::path previous_;
};

// An uncompressed BMP with a BITMAPINFOHEADER and a colour table, 4 or 8 bits.
struct Bmp {
  uint32_t file_size_field = 0;
  uint32_t data_offset = 0;
  uint32_t info_size = 0;
  int32_t width = 0;
  int32_t height = 0;
  uint16_t planes = 0;
  uint16_t bits = 0;
  uint32_t compression = 0;
  uint32_t colors_used = 0;
  uint32_t colors_important = 0;
  std::vector<uint32_t> palette;  // 0x00RRGGBB as stored (blue in the low byte)
  std::vector<uint8_t> bytes;

  static uint32_t u32(const std::vector<uint8_t>& b, std::size_t at) {
    return b.at(at) | (b.at(at + 1) << 8) | (b.at(at + 2) << 16) | (static_cast<uint32_t>(b.at(at + 3)) << 24);
  }
  static uint16_t u16(const std::vector<uint8_t>& b, std::size_t at) {
    return static_cast<uint16_t>(b.at(at) | (b.at(at + 1) << 8));
  }

  static Bmp parse(std::vector<uint8_t> b) {
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') throw std::runtime_error("not a BMP");
    Bmp m;
    m.file_size_field = u32(b, 2);
    m.data_offset = u32(b, 10);
    m.info_size = u32(b, 14);
    m.width = static_cast<int32_t>(u32(b, 18));
    m.height = static_cast<int32_t>(u32(b, 22));
    m.planes = u16(b, 26);
    m.bits = u16(b, 28);
    m.compression = u32(b, 30);
    m.colors_used = u32(b, 46);
    m.colors_important = u32(b, 50);
    const uint32_t table = m.colors_used != 0 ? m.colors_used : (1u << m.bits);
    for (uint32_t i = 0; i < table; ++i) m.palette.push_back(u32(b, 14 + m.info_size + 4 * i));
    m.bytes = std::move(b);
    return m;
  }

  static Bmp load(const std::filesystem::path& path) { return parse(read_bytes(path)); }

  // Rows are padded to whole 32-bit words.
  std::size_t stride() const { return ((static_cast<std::size_t>(bits) * width + 31) / 32) * 4; }

  // The colour index of column c of screen row r (row 0 at the top).
  int index(int c, int r) const {
    const std::size_t row_start = data_offset + static_cast<std::size_t>(height - 1 - r) * stride();
    if (bits == 8) return bytes.at(row_start + c);
    const uint8_t byte = bytes.at(row_start + c / 2);
    return c % 2 == 0 ? byte >> 4 : byte & 0x0F;
  }
};

// Lines of a CR LF text, without their ends; a text not ending in CR LF
// leaves its last piece as a line.
inline std::vector<std::string> crlf_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find("\r\n", at);
    if (end == std::string::npos) {
      lines.push_back(text.substr(at));
      break;
    }
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

// A right-justified number field: blanks, then digits (with at most one
// decimal point when `decimals` > 0, followed by exactly that many digits).
inline bool is_number_field(const std::string& field, int decimals = 0) {
  std::size_t k = field.find_first_not_of(' ');
  if (k == std::string::npos) return false;
  const std::string number = field.substr(k);
  const std::size_t point = number.find('.');
  if (decimals == 0) return point == std::string::npos && number.find_first_not_of("0123456789") == std::string::npos;
  if (point == std::string::npos || number.size() - point - 1 != static_cast<std::size_t>(decimals)) return false;
  return (number.substr(0, point) + number.substr(point + 1)).find_first_not_of("0123456789") == std::string::npos;
}

// " Total iterations =" Integer(11) ",   Execution time" Integer(4) ":" Integer(2) ":" Fixed(4, 1)
inline bool is_timing_line(const std::string& line) {
  return line.size() == 60 && line.compare(0, 19, " Total iterations =") == 0 &&
         is_number_field(line.substr(19, 11)) && line.compare(30, 18, ",   Execution time") == 0 &&
         is_number_field(line.substr(48, 4)) && line[52] == ':' && is_number_field(line.substr(53, 2)) &&
         line[55] == ':' && is_number_field(line.substr(56, 4), 1);
}

}  // namespace zeno::test
