#pragma once
// The picture file: a BMP written as fixed-length records of one pixel row
// each, rows in the order they are produced, header rewritable later.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "driver/records.hpp"
#include "engine/palette.hpp"

namespace zeno {

// A picture file or run log that cannot be created or written.
struct FileError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct PictureFile {
  std::string picture_name = std::string(12, ' ');  // "ZENOPICc.BMP"; kept between cases
  int32_t row_length = 0;
  int32_t header_words = 0;
  int32_t header_records = 0;
  std::vector<uint8_t> header;  // the in-memory header, 2 * header_words bytes
  int fd = -1;                  // open file, -1 when closed
  std::string path;             // absolute path of the open file
};

// First free name ZENOPIC0.BMP .. ZENOPICZ.BMP in the current directory, else ZENOPIC_.BMP.
void choose_picture_name(PictureFile& file);
// Fills the header from the case and palette, creates (truncates) the file, writes the header records.
void open_picture_file(PictureFile& file, const CaseParameters& params, const Palette& palette);
// Writes the in-memory header (palette refreshed from `palette`) into records 1..header_records.
void write_header_records(PictureFile& file, const Palette& palette);
// Packs row r (row 0 at the top) and writes it to record header_records + height - r.
void write_picture_row(PictureFile& file, const CaseParameters& params, int r, const uint8_t* row_buffer);
// Closes the file; deletes it unless keep.
void close_picture_file(PictureFile& file, bool keep);

}  // namespace zeno
