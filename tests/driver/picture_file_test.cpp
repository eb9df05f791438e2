#include "driver/picture_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>

#include <ostream>
#include <string>
#include <vector>

#include "driver/limits.hpp"
#include "test_support.hpp"

namespace zeno {
namespace {

using test::Bmp;
using test::CurrentDirectory;
using test::TempDir;

CaseParameters case_of(int32_t width, int32_t height, bool sixteen) {
  CaseParameters p;
  p.width = width;
  p.height = height;
  p.sixteen_colors = sixteen;
  p.last_color_index = sixteen ? 15 : 235;
  return p;
}

Palette palette_of(bool sixteen) {
  Palette palette;
  build_palette(sixteen, palette);
  return palette;
}

struct SizeRow {
  int32_t width;
  int32_t height;
  int bits;
  int32_t row_length;
  int32_t header_records;
  uint32_t data_offset;
  uint32_t file_size;
};

inline void PrintTo(const SizeRow& t, std::ostream* os) { *os << t.width << "x" << t.height << "x" << t.bits; }

class PictureFileSizes : public ::testing::TestWithParam<SizeRow> {};

// Every record written in row order: the file is exactly as large as its
// header says, and an independent reader finds each row where it belongs.
TEST_P(PictureFileSizes, HeaderAndRecords) {
  const SizeRow& t = GetParam();
  TempDir dir;
  CurrentDirectory cd(dir.path());
  const bool sixteen = t.bits == 4;
  const CaseParameters p = case_of(t.width, t.height, sixteen);
  const Palette palette = palette_of(sixteen);

  PictureFile f;
  choose_picture_name(f);
  open_picture_file(f, p, palette);
  EXPECT_EQ(f.row_length, t.row_length);
  EXPECT_EQ(f.header_records, t.header_records);

  const int colors = p.last_color_index + 1;
  std::vector<uint8_t> row(static_cast<std::size_t>(t.width));
  for (int r = t.height - 1; r >= 0; --r) {
    for (int c = 0; c < t.width; ++c) row[static_cast<std::size_t>(c)] = static_cast<uint8_t>((3 * r + c) % colors);
    write_picture_row(f, p, r, row.data());
  }
  close_picture_file(f, true);

  const auto bytes = test::read_bytes(dir / "ZENOPIC0.BMP");
  ASSERT_EQ(bytes.size(), t.file_size);
  const Bmp bmp = Bmp::parse(bytes);
  EXPECT_EQ(bmp.file_size_field, t.file_size);
  EXPECT_EQ(bmp.data_offset, t.data_offset);
  EXPECT_EQ(bmp.info_size, 40u);
  EXPECT_EQ(bmp.width, t.width);
  EXPECT_EQ(bmp.height, t.height);
  EXPECT_EQ(bmp.planes, 1);
  EXPECT_EQ(bmp.bits, t.bits);
  EXPECT_EQ(bmp.compression, 0u);
  EXPECT_EQ(bmp.colors_used, static_cast<uint32_t>(colors));
  EXPECT_EQ(bmp.colors_important, static_cast<uint32_t>(colors));
  EXPECT_EQ(bmp.stride(), static_cast<std::size_t>(t.row_length));
  for (int i = 0; i < colors; ++i) EXPECT_EQ(bmp.palette[static_cast<std::size_t>(i)], palette.entries[i]) << i;
  // Filler between the header and the pixel data is zero.
  for (std::size_t k = 54 + 4 * static_cast<std::size_t>(colors); k < t.data_offset; ++k) ASSERT_EQ(bytes[k], 0) << k;
  for (int r = 0; r < t.height; r += 7)
    for (int c = 0; c < t.width; c += 3) ASSERT_EQ(bmp.index(c, r), (3 * r + c) % colors) << c << "," << r;
}

INSTANTIATE_TEST_SUITE_P(StandardSizes, PictureFileSizes,
                         ::testing::Values(SizeRow{640, 480, 4, 320, 1, 320, 153920},
                                           SizeRow{640, 480, 8, 640, 2, 1280, 308480},
                                           SizeRow{800, 600, 4, 400, 1, 400, 240400},
                                           SizeRow{800, 600, 8, 800, 2, 1600, 481600},
                                           SizeRow{1024, 768, 4, 512, 1, 512, 393728},
                                           SizeRow{1024, 768, 8, 1024, 1, 1024, 787456},
                                           SizeRow{1280, 1024, 4, 640, 1, 640, 656000},
                                           SizeRow{1280, 1024, 8, 1280, 1, 1280, 1312000}),
                         [](const auto& info) {
                           return std::to_string(info.param.width) + "x" + std::to_string(info.param.height) + "_" +
                                  std::to_string(info.param.bits) + "bit";
                         });

// Row 0 (the top) lands in the last record, row height-1 in the first after
// the header; column 0 is the high nibble.
TEST(PictureFile, RecordPlacementAndNibbleOrder) {
  TempDir dir;
  CurrentDirectory cd(dir.path());
  const CaseParameters p = case_of(640, 480, true);
  PictureFile f;
  choose_picture_name(f);
  open_picture_file(f, p, palette_of(true));
  std::vector<uint8_t> top(640, 0), bottom(640, 0);
  top[0] = 0x1;
  top[1] = 0x2;
  top[639] = 0xE;
  bottom[0] = 0xA;
  bottom[1] = 0x5;
  bottom[2] = 0x13;  // only the low four bits are stored
  write_picture_row(f, p, 0, top.data());
  write_picture_row(f, p, 479, bottom.data());
  close_picture_file(f, true);

  const auto bytes = test::read_bytes(dir / "ZENOPIC0.BMP");
  ASSERT_EQ(bytes.size(), 153920u);  // the top row is the last record
  const std::size_t last = 153920 - 320;
  EXPECT_EQ(bytes[last], 0x12);
  EXPECT_EQ(bytes[last + 319], 0x0E);
  EXPECT_EQ(bytes[320], 0xA5);  // first record after the header: the bottom row
  EXPECT_EQ(bytes[321], 0x30);
}

TEST(PictureFile, EightBitRowsAreBytesInColumnOrder) {
  TempDir dir;
  CurrentDirectory cd(dir.path());
  const CaseParameters p = case_of(640, 480, false);
  PictureFile f;
  choose_picture_name(f);
  open_picture_file(f, p, palette_of(false));
  std::vector<uint8_t> row(640);
  for (int c = 0; c < 640; ++c) row[static_cast<std::size_t>(c)] = static_cast<uint8_t>(c % 236);
  write_picture_row(f, p, 240, row.data());
  close_picture_file(f, true);
  const auto bytes = test::read_bytes(dir / "ZENOPIC0.BMP");
  // Record header_records + height - r = 2 + 480 - 240 = 242, from byte 241 * 640.
  const std::size_t at = 241 * 640;
  for (int c = 0; c < 640; ++c) ASSERT_EQ(bytes[at + static_cast<std::size_t>(c)], c % 236) << c;
}

// A rotated palette rewritten into the header changes nothing before byte 54.
TEST(PictureFile, HeaderRewriteChangesOnlyThePalette) {
  TempDir dir;
  CurrentDirectory cd(dir.path());
  const CaseParameters p = case_of(800, 600, false);
  Palette palette = palette_of(false);
  PictureFile f;
  choose_picture_name(f);
  open_picture_file(f, p, palette);
  const auto before = test::read_bytes(dir / "ZENOPIC0.BMP");
  std::rotate(palette.entries.begin() + 1, palette.entries.begin() + 2, palette.entries.begin() + 235);
  write_header_records(f, palette);
  close_picture_file(f, true);
  const auto after = test::read_bytes(dir / "ZENOPIC0.BMP");
  ASSERT_EQ(before.size(), after.size());
  for (std::size_t k = 0; k < 54; ++k) ASSERT_EQ(before[k], after[k]) << k;
  const Bmp bmp = Bmp::parse(after);
  for (int i = 0; i < 236; ++i) ASSERT_EQ(bmp.palette[static_cast<std::size_t>(i)], palette.entries[i]) << i;
  for (std::size_t k = 998; k < after.size(); ++k) ASSERT_EQ(before[k], after[k]) << k;
}

std::string name_char(int i) { return std::string(1, "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"[i]); }

struct NameCase {
  std::string name;
  std::vector<std::string> present;
  std::string expected;
};

inline void PrintTo(const NameCase& t, std::ostream* os) { *os << t.name; }

std::vector<std::string> names_upto(int n) {
  std::vector<std::string> out;
  for (int i = 0; i < n; ++i) out.push_back("ZENOPIC" + name_char(i) + ".BMP");
  return out;
}

class NameSearch : public ::testing::TestWithParam<NameCase> {};

TEST_P(NameSearch, FirstFreeName) {
  TempDir dir;
  for (const auto& name : GetParam().present) test::write_text(dir / name, "x");
  CurrentDirectory cd(dir.path());
  PictureFile f;
  choose_picture_name(f);
  EXPECT_EQ(f.picture_name, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NameSearch,
    ::testing::Values(NameCase{"empty", {}, "ZENOPIC0.BMP"},
                      NameCase{"digits_taken", names_upto(10), "ZENOPICA.BMP"},
                      NameCase{"gap_reused", {"ZENOPIC0.BMP", "ZENOPIC1.BMP", "ZENOPIC3.BMP"}, "ZENOPIC2.BMP"},
                      NameCase{"lowercase_is_another_name", {"zenopic0.bmp"}, "ZENOPIC0.BMP"},
                      NameCase{"all_but_z", names_upto(35), "ZENOPICZ.BMP"},
                      NameCase{"all_36_taken", names_upto(36), "ZENOPIC_.BMP"}),
    [](const auto& info) { return info.param.name; });

// With all names taken, ZENOPIC_.BMP is overwritten, and nothing of a longer
// older file survives.
TEST(PictureFile, LastResortNameTruncatesAnOlderLongerFile) {
  TempDir dir;
  for (const auto& name : names_upto(36)) test::write_text(dir / name, "x");
  test::write_text(dir / "ZENOPIC_.BMP", std::string(2'000'000, '\xFF'));
  CurrentDirectory cd(dir.path());
  const CaseParameters p = case_of(640, 480, true);
  PictureFile f;
  choose_picture_name(f);
  ASSERT_EQ(f.picture_name, "ZENOPIC_.BMP");
  open_picture_file(f, p, palette_of(true));
  std::vector<uint8_t> row(640, 3);
  for (int r = 0; r < 480; ++r) write_picture_row(f, p, r, row.data());
  close_picture_file(f, true);
  const auto bytes = test::read_bytes(dir / "ZENOPIC_.BMP");
  ASSERT_EQ(bytes.size(), 153920u);
  EXPECT_EQ(Bmp::parse(bytes).index(5, 5), 3);
}

TEST(PictureFile, CloseKeepsOrDeletes) {
  TempDir dir;
  CurrentDirectory cd(dir.path());
  const CaseParameters p = case_of(640, 480, true);
  for (bool keep : {true, false}) {
    PictureFile f;
    choose_picture_name(f);
    open_picture_file(f, p, palette_of(true));
    const std::string path = f.path;
    EXPECT_EQ(path, (dir / f.picture_name).string());
    close_picture_file(f, keep);
    EXPECT_EQ(f.fd, -1);
    EXPECT_EQ(std::filesystem::exists(path), keep);
    close_picture_file(f, keep);  // closing again does nothing
  }
}

// The reason and the path are in the error; nothing is left behind.
TEST(PictureFile, CreationFailureNamesPathAndReason) {
  TempDir dir;
  std::filesystem::create_directory(dir / "ZENOPIC0.BMP");
  CurrentDirectory cd(dir.path());
  PictureFile f;
  f.picture_name = "ZENOPIC0.BMP";  // a directory of that name
  try {
    open_picture_file(f, case_of(640, 480, true), palette_of(true));
    FAIL() << "no error";
  } catch (const FileError& e) {
    const std::string what = e.what();
    EXPECT_NE(what.find((dir / "ZENOPIC0.BMP").string()), std::string::npos) << what;
    EXPECT_NE(what.find("Is a directory"), std::string::npos) << what;
  }
  EXPECT_EQ(f.fd, -1);
  EXPECT_TRUE(std::filesystem::is_directory(dir / "ZENOPIC0.BMP"));
}

TEST(PictureFile, WriteFailureThrowsFileError) {
  TempDir dir;
  CurrentDirectory cd(dir.path());
  const CaseParameters p = case_of(640, 480, true);
  PictureFile f;
  choose_picture_name(f);
  open_picture_file(f, p, palette_of(true));
  const int writable = f.fd;
  f.fd = ::open("/dev/null", O_RDONLY);  // writes now fail
  std::vector<uint8_t> row(640, 1);
  EXPECT_THROW(write_picture_row(f, p, 0, row.data()), FileError);
  ::close(f.fd);
  f.fd = writable;
  close_picture_file(f, false);
}

}  // namespace
}  // namespace zeno
