#pragma once
// The picture file: a BMP written as fixed-length records of one pixel row
// each, rows in the order they are produced, header rewritable later.
//
// Record n (from 1) occupies bytes (n - 1) * row_length .. n * row_length - 1.
// The header fills the first header_records records; screen row r (row 0 at
// the top) goes to record header_records + height - r, so the file holds the
// rows bottom-up as a BMP with a positive height does.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "driver/records.hpp"
#include "engine/palette.hpp"

namespace zeno {

// A picture file or run log that cannot be created or written. The message
// names the file and the operating system's reason.
struct FileError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// "<path>: <what failed>: <strerror(err)>"
FileError file_error(const std::string& path, const char* what, int err);

// The absolute path of `name` in the current directory.
std::string path_in_current_directory(const std::string& name);

struct PictureFile {
  std::string picture_name = std::string(12, ' ');  // "ZENOPICc.BMP"; kept between cases
  int32_t row_length = 0;
  int32_t header_words = 0;
  int32_t header_records = 0;
  int32_t bits_per_pixel = 8;
  std::vector<uint8_t> header;  // the in-memory header, 2 * header_words bytes
  int fd = -1;                  // open file, -1 when closed
  std::string path;             // absolute path of the open file
};

// Record length of a row: the BMP row size rounded up to a multiple of 4 bytes.
inline int32_t row_length_for(int32_t bits_per_pixel, int32_t width) {
  return ((bits_per_pixel * (width - 1)) / 8 / 4) * 4 + 4;
}

// The byte offset of the BMP palette in the header.
inline constexpr int32_t header_palette_offset = 54;

// First free name ZENOPIC0.BMP .. ZENOPICZ.BMP in the current directory, else ZENOPIC_.BMP.
void choose_picture_name(PictureFile& file);
// Fills the header from the case and palette, creates the file in the current
// directory (an existing one is truncated), writes the header records. On a
// failure nothing is left behind and FileError is thrown.
void open_picture_file(PictureFile& file, const CaseParameters& params, const Palette& palette);
// Writes the in-memory header (palette refreshed from `palette`) into records 1..header_records.
void write_header_records(PictureFile& file, const Palette& palette);
// Packs row r (row 0 at the top) and writes it to record header_records + height - r.
void write_picture_row(PictureFile& file, const CaseParameters& params, int r, const uint8_t* row_buffer);
// Closes the file; deletes it unless keep. Nothing happens when it is not open.
void close_picture_file(PictureFile& file, bool keep);

}  // namespace zeno
