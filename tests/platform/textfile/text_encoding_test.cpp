// UTF-8 <-> UTF-16LE conversion and byte-order-mark detection.
#include "platform/textfile/text_encoding.h"

#include <gtest/gtest.h>

#include <string>

namespace q6::textfile {
namespace {

using namespace std::string_literals;

struct CodecRow {
  const char* what;
  std::string utf8;
  std::string utf16le;
};

class Utf16Codec : public ::testing::TestWithParam<CodecRow> {};

TEST_P(Utf16Codec, EncodesAndDecodesBothWays) {
  const CodecRow& row = GetParam();
  EXPECT_EQ(EncodeText(row.utf8, TextEncoding::kUtf16Le), row.utf16le) << row.what;
  EXPECT_EQ(Utf16LeToUtf8(row.utf16le), row.utf8) << row.what;
  EXPECT_EQ(EncodeText(row.utf8, TextEncoding::kUtf8), row.utf8) << "UTF-8 passes unchanged";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Utf16Codec,
    ::testing::Values(CodecRow{"empty", "", ""}, CodecRow{"ascii", "Ab\r\n", "A\0b\0\r\0\n\0"s},
                      CodecRow{"two bytes", "\xC3\xA9", "\xE9\0"s},          // é U+00E9
                      CodecRow{"three bytes", "\xE5\xBC\x80", "\x00\x5F"s},  // 开 U+5F00
                      CodecRow{"surrogate pair", "\xF0\x9F\x98\x80", "\x3D\xD8\x00\xDE"s}));

struct BadRow {
  const char* what;
  std::string in;
  std::string out;
};

TEST(Utf16Codec, InvalidInputBecomesReplacementCharacter) {
  const std::string fffd = "\xEF\xBF\xBD";
  const BadRow to_utf16[] = {
      {"stray continuation byte", "a\x80"s, "a\0\xFD\xFF"s},
      {"truncated sequence", "\xE5\xBC"s, "\xFD\xFF\xFD\xFF"s},
      {"overlong form", "\xC0\xAF"s, "\xFD\xFF\xFD\xFF"s},
      {"encoded surrogate", "\xED\xA0\x80"s, "\xFD\xFF\xFD\xFF\xFD\xFF"s},
  };
  for (const BadRow& r : to_utf16)
    EXPECT_EQ(EncodeText(r.in, TextEncoding::kUtf16Le), r.out) << r.what;
  const BadRow to_utf8[] = {
      {"lone high surrogate",
       "\x3D\xD8"
       "a\0"s,
       fffd + "a"},
      {"lone low surrogate", "\x00\xDE"s, fffd},
      {"odd trailing byte", "a\0b"s, "a" + fffd},
  };
  for (const BadRow& r : to_utf8) EXPECT_EQ(Utf16LeToUtf8(r.in), r.out) << r.what;
}

struct FileRow {
  const char* what;
  std::string bytes;
  TextEncoding asked;
  std::string text;
};

TEST(DecodeFile, FollowsTheByteOrderMark) {
  const FileRow rows[] = {
      {"plain UTF-8", "x\r\ny", TextEncoding::kUtf8, "x\r\ny"},
      {"UTF-8 mark dropped", "\xEF\xBB\xBFx", TextEncoding::kUtf8, "x"},
      {"UTF-16 mark wins over UTF-8", "\xFF\xFEx\0"s, TextEncoding::kUtf8, "x"},
      {"UTF-16 asked, mark present", "\xFF\xFEx\0"s, TextEncoding::kUtf16Le, "x"},
      {"UTF-16 asked, no mark", "x\0y\0"s, TextEncoding::kUtf16Le, "xy"},
      {"empty", "", TextEncoding::kUtf16Le, ""},
  };
  for (const FileRow& r : rows) EXPECT_EQ(DecodeFile(r.bytes, r.asked), r.text) << r.what;
}

}  // namespace
}  // namespace q6::textfile
