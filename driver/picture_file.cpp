#include "driver/picture_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace zeno {

namespace {

constexpr std::string_view name_characters = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr char last_resort_character = '_';

std::string picture_name_with(char c) { return std::string("ZENOPIC") + c + ".BMP"; }

void put16(std::vector<uint8_t>& bytes, std::size_t at, uint32_t v) {
  bytes[at] = static_cast<uint8_t>(v);
  bytes[at + 1] = static_cast<uint8_t>(v >> 8);
}

void put32(std::vector<uint8_t>& bytes, std::size_t at, uint32_t v) {
  put16(bytes, at, v & 0xFFFFu);
  put16(bytes, at + 2, v >> 16);
}

// Writes all of `data` at `offset`; returns 0 or the errno of the failure.
int write_all_at(int fd, const uint8_t* data, std::size_t size, off_t offset) {
  while (size > 0) {
    const ssize_t n = ::pwrite(fd, data, size, offset);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;
    data += n;
    size -= static_cast<std::size_t>(n);
    offset += n;
  }
  return 0;
}

bool name_taken(const std::string& name) {
  struct stat st;
  if (::lstat(name.c_str(), &st) == 0) return true;
  return errno != ENOENT;  // anything we cannot look at counts as taken
}

}  // namespace

FileError file_error(const std::string& path, const char* what, int err) {
  return FileError(path + ": " + what + ": " + std::strerror(err));
}

std::string path_in_current_directory(const std::string& name) {
  char buffer[PATH_MAX];
  if (::getcwd(buffer, sizeof buffer) == nullptr) return name;
  std::string path(buffer);
  if (path.empty() || path.back() != '/') path += '/';
  return path + name;
}

void choose_picture_name(PictureFile& file) {
  for (char c : name_characters) {
    const std::string name = picture_name_with(c);
    if (!name_taken(name)) {
      file.picture_name = name;
      return;
    }
  }
  file.picture_name = picture_name_with(last_resort_character);
}

void open_picture_file(PictureFile& file, const CaseParameters& params, const Palette& palette) {
  if (file.fd >= 0) throw std::logic_error("open_picture_file: a picture file is still open");

  file.bits_per_pixel = palette.bits_per_pixel;
  file.row_length = row_length_for(file.bits_per_pixel, params.width);
  file.header_words = 2 * params.last_color_index + 29;
  file.header_records = (2 * file.header_words - 1) / file.row_length + 1;

  const uint32_t colors = static_cast<uint32_t>(params.last_color_index + 1);
  const uint32_t data_offset = static_cast<uint32_t>(file.header_records * file.row_length);
  const uint32_t file_size = static_cast<uint32_t>((file.header_records + params.height) * file.row_length);

  std::vector<uint8_t>& h = file.header;
  h.assign(static_cast<std::size_t>(2 * file.header_words), 0);
  h[0] = 'B';
  h[1] = 'M';
  put32(h, 2, file_size);
  put16(h, 6, 0);
  put16(h, 8, 0);
  put32(h, 10, data_offset);
  put32(h, 14, 40);
  put32(h, 18, static_cast<uint32_t>(params.width));
  put32(h, 22, static_cast<uint32_t>(params.height));
  put16(h, 26, 1);
  put16(h, 28, static_cast<uint32_t>(file.bits_per_pixel));
  put32(h, 30, 0);
  put32(h, 34, 0);
  put32(h, 38, 0);
  put32(h, 42, 0);
  put32(h, 46, colors);
  put32(h, 50, colors);

  const std::string name(trimmed(file.picture_name));
  file.path = path_in_current_directory(name);
  // Truncating matters for ZENOPIC_.BMP, which is overwritten when all other names are taken.
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) throw file_error(file.path, "cannot create the picture file", errno);
  file.fd = fd;
  try {
    write_header_records(file, palette);
  } catch (...) {
    ::close(file.fd);
    file.fd = -1;
    ::unlink(file.path.c_str());
    throw;
  }
}

void write_header_records(PictureFile& file, const Palette& palette) {
  const int32_t colors = (static_cast<int32_t>(file.header.size()) - header_palette_offset) / 4;
  for (int32_t i = 0; i < colors; ++i) put32(file.header, header_palette_offset + 4 * i, palette.entries[i]);

  // The header, then filler up to the end of its last record.
  std::vector<uint8_t> records(static_cast<std::size_t>(file.header_records * file.row_length), 0);
  std::memcpy(records.data(), file.header.data(), file.header.size());
  if (const int err = write_all_at(file.fd, records.data(), records.size(), 0))
    throw file_error(file.path, "cannot write the picture header", err);
}

void write_picture_row(PictureFile& file, const CaseParameters& params, int r, const uint8_t* row_buffer) {
  if (r < 0 || r >= params.height) throw std::out_of_range("write_picture_row: row outside the picture");

  std::vector<uint8_t> record(static_cast<std::size_t>(file.row_length), 0);
  if (file.bits_per_pixel == 4) {
    // Column 0 in the high four bits.
    for (int32_t c = 0; c < params.width; ++c) {
      const auto nibble = static_cast<uint8_t>(row_buffer[c] & 0x0F);
      record[static_cast<std::size_t>(c / 2)] |= (c % 2 == 0) ? static_cast<uint8_t>(nibble << 4) : nibble;
    }
  } else {
    std::memcpy(record.data(), row_buffer, static_cast<std::size_t>(params.width));
  }

  const int64_t record_number = static_cast<int64_t>(file.header_records) + params.height - r;
  const auto offset = static_cast<off_t>((record_number - 1) * file.row_length);
  if (const int err = write_all_at(file.fd, record.data(), record.size(), offset))
    throw file_error(file.path, "cannot write a picture row", err);
}

void close_picture_file(PictureFile& file, bool keep) {
  if (file.fd < 0) return;
  const int closed = ::close(file.fd);
  const int close_err = errno;
  file.fd = -1;
  if (!keep) {
    if (::unlink(file.path.c_str()) != 0 && errno != ENOENT)
      throw file_error(file.path, "cannot delete the picture file", errno);
    return;
  }
  if (closed != 0 && close_err != EINTR) throw file_error(file.path, "cannot close the picture file", close_err);
}

}  // namespace zeno
