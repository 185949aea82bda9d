// The file-system object and its text streams: bytes on disk, line ends,
// encodings, and the error each misuse raises.
#include "platform/textfile/file_system_object.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/textfile/scratch_dir.h"
#include "runtime/class_table.h"

namespace q6::textfile {
namespace {

using namespace std::string_literals;
using q6::testing::Exists;
using q6::testing::ReadBytes;
using q6::testing::ScratchDir;
using q6::testing::Utf16LeBytes;
using q6::testing::WriteBytes;

// The run-time error number a call raises, or 0.
int ErrorOf(const std::function<void()>& call, std::string* text = nullptr) {
  try {
    call();
  } catch (const ComError& e) {
    if (text) *text = e.description();
    return e.Number();
  }
  return 0;
}

class TextFileTest : public ::testing::Test {
 protected:
  ScratchDir dir_;
  FileSystemObject fso_;
};

struct WriteRow {
  const char* what;
  bool unicode;
  std::string bytes;
};

TEST_F(TextFileTest, CreateTextFileWritesUtf8OrUtf16WithMarkAndCrLf) {
  const WriteRow rows[] = {
      {"UTF-8", false, "a\xE5\xBC\x80\r\nb\r\n\r\nc"},
      {"UTF-16LE", true, "\xFF\xFE"s + Utf16LeBytes(u"a\u5F00\r\nb\r\n\r\nc")},
  };
  for (const WriteRow& r : rows) {
    std::string file = dir_ / r.what;
    auto ts = fso_.CreateTextFile(file, false, r.unicode);
    ts->WriteLine("a\xE5\xBC\x80");
    ts->Write("b\r\n");
    ts->WriteLine("");
    ts->Write("c");
    EXPECT_EQ(ReadBytes(file), r.bytes) << r.what << ": written through before Close";
    ts->Close();
    EXPECT_EQ(ReadBytes(file), r.bytes) << r.what;
  }
}

TEST_F(TextFileTest, OverwriteFalseRefusesAnExistingFileAndKeepsIt) {
  std::string file = dir_ / "old.txt";
  WriteBytes(file, "keep");
  std::string text;
  EXPECT_EQ(ErrorOf([&] { fso_.CreateTextFile(file, false, false); }, &text), 58);
  EXPECT_EQ(text, "File already exists");
  EXPECT_EQ(ReadBytes(file), "keep");
  fso_.CreateTextFile(file, true, false)->Close();
  EXPECT_EQ(ReadBytes(file), "") << "Overwrite True truncates";
}

TEST_F(TextFileTest, OpeningErrorsCarryTheirNumbers) {
  struct Row {
    const char* what;
    std::function<void()> call;
    int number;
    const char* text;
  };
  std::string missing_dir = dir_ / "no/such/dir.txt";
  std::string missing = dir_ / "missing.txt";
  const Row rows[] = {
      {"missing folder", [&] { fso_.CreateTextFile(missing_dir, true, false); }, 76,
       "Path not found"},
      {"empty name", [&] { fso_.CreateTextFile("", true, false); }, 52, "Bad file name or number"},
      {"a folder", [&] { fso_.CreateTextFile(dir_.path().string(), true, false); }, 70,
       "Permission denied"},
      {"read missing", [&] { fso_.OpenTextFile(missing, kForReading, false, 0); }, 53,
       "File not found"},
      {"append missing", [&] { fso_.OpenTextFile(missing, kForAppending, false, 0); }, 53,
       "File not found"},
      {"bad mode", [&] { fso_.OpenTextFile(missing, 3, true, 0); }, 5,
       "Invalid procedure call or argument"},
      {"bad format", [&] { fso_.OpenTextFile(missing, kForReading, true, 7); }, 5,
       "Invalid procedure call or argument"},
      {"delete missing", [&] { fso_.DeleteFile(missing, false); }, 53, "File not found"},
  };
  for (const Row& r : rows) {
    std::string text;
    EXPECT_EQ(ErrorOf(r.call, &text), r.number) << r.what;
    EXPECT_EQ(text, r.text) << r.what;
  }
  EXPECT_FALSE(Exists(missing)) << "failed opens create nothing";
}

struct ReadRow {
  const char* what;
  std::string bytes;
  int32_t format;
  std::vector<std::string> lines;
};

TEST_F(TextFileTest, ReadLineStripsCrLfOrLfInEitherEncoding) {
  const ReadRow rows[] = {
      {"CR LF", "a\r\nb\r\n", kTristateFalse, {"a", "b"}},
      {"LF and no final break", "a\n\nb", kTristateFalse, {"a", "", "b"}},
      {"lone CR stays", "a\rb\n", kTristateFalse, {"a\rb"}},
      {"UTF-8 mark", "\xEF\xBB\xBFx\r\n", kTristateFalse, {"x"}},
      {"UTF-16 by mark",
       "\xFF\xFE"s + Utf16LeBytes(u"\u5F00\r\ny"),
       kTristateUseDefault,
       {"\xE5\xBC\x80", "y"}},
      {"UTF-16 asked", Utf16LeBytes(u"p\nq"), kTristateTrue, {"p", "q"}},
  };
  for (const ReadRow& r : rows) {
    std::string file = dir_ / "in.txt";
    WriteBytes(file, r.bytes);
    auto ts = fso_.OpenTextFile(file, kForReading, false, r.format);
    std::vector<std::string> got;
    while (!ts->AtEndOfStream()) got.push_back(ts->ReadLine());
    EXPECT_EQ(got, r.lines) << r.what;
    EXPECT_EQ(ErrorOf([&] { ts->ReadLine(); }), 62) << r.what;
  }
}

TEST_F(TextFileTest, ReadAllReturnsTheRestWithItsLineBreaks) {
  std::string file = dir_ / "in.txt";
  WriteBytes(file, "one\r\ntwo\r\nthree");
  auto ts = fso_.OpenTextFile(file, kForReading, false, kTristateUseDefault);
  EXPECT_EQ(ts->ReadLine(), "one");
  EXPECT_EQ(ts->ReadAll(), "two\r\nthree");
  EXPECT_TRUE(ts->AtEndOfStream());
  EXPECT_EQ(ErrorOf([&] { ts->ReadAll(); }), 62);
}

TEST_F(TextFileTest, StreamsRefuseTheWrongDirectionAndUseAfterClose) {
  std::string file = dir_ / "f.txt";
  auto writer = fso_.CreateTextFile(file, true, false);
  auto reader = fso_.OpenTextFile(file, kForReading, false, 0);
  struct Row {
    const char* what;
    std::function<void()> call;
    int number;
  };
  const Row open_rows[] = {
      {"ReadLine on writer", [&] { writer->ReadLine(); }, 54},
      {"ReadAll on writer", [&] { writer->ReadAll(); }, 54},
      {"AtEndOfStream on writer", [&] { writer->AtEndOfStream(); }, 54},
      {"Write on reader", [&] { reader->Write("x"); }, 54},
      {"WriteLine on reader", [&] { reader->WriteLine("x"); }, 54},
  };
  for (const Row& r : open_rows) EXPECT_EQ(ErrorOf(r.call), r.number) << r.what;
  writer->Close();
  reader->Close();
  const Row closed_rows[] = {
      {"Write after Close", [&] { writer->Write("x"); }, 52},
      {"ReadLine after Close", [&] { reader->ReadLine(); }, 52},
      {"Close twice", [&] { writer->Close(); }, 52},
  };
  for (const Row& r : closed_rows) EXPECT_EQ(ErrorOf(r.call), r.number) << r.what;
  EXPECT_EQ(ReadBytes(file), "");
}

TEST_F(TextFileTest, AppendingKeepsTheEncodingOnDisk) {
  std::string wide = dir_ / "wide.txt";
  fso_.CreateTextFile(wide, true, true)->WriteLine("a");
  fso_.OpenTextFile(wide, kForAppending, false, kTristateUseDefault)->WriteLine("b");
  EXPECT_EQ(ReadBytes(wide), "\xFF\xFE"s + Utf16LeBytes(u"a\r\nb\r\n"));

  std::string fresh = dir_ / "fresh.txt";
  fso_.OpenTextFile(fresh, kForAppending, true, kTristateTrue)->Write("c");
  EXPECT_EQ(ReadBytes(fresh), "\xFF\xFE"s + Utf16LeBytes(u"c")) << "new Unicode file gets a mark";

  fso_.OpenTextFile(fresh, kForWriting, false, kTristateFalse)->Write("d");
  EXPECT_EQ(ReadBytes(fresh), "d") << "writing mode truncates";
}

TEST_F(TextFileTest, FileExistsAndDeleteFile) {
  std::string file = dir_ / "gone.txt";
  EXPECT_FALSE(fso_.FileExists(file));
  WriteBytes(file, "x");
  EXPECT_TRUE(fso_.FileExists(file));
  EXPECT_FALSE(fso_.FileExists(dir_.path().string())) << "a folder is not a file";
  ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
  EXPECT_EQ(ErrorOf([&] { fso_.DeleteFile(file, false); }), 70);
  EXPECT_TRUE(Exists(file));
  fso_.DeleteFile(file, true);
  EXPECT_FALSE(fso_.FileExists(file));
}

TEST_F(TextFileTest, LateBoundByProgIdWithDefaultsAndNamedArguments) {
  ObjectRef fso = CreateObject("q6sys.filesystemobject");
  std::string file = dir_ / "late.txt";
  WriteBytes(file, "old");
  // Overwrite defaults to True, Unicode to False.
  Variant ts = fso->Call("CreateTextFile", {Variant(file)});
  ts.object()->Call("WriteLine", {Variant("x")});
  ts.object()->Call("WriteLine");
  ts.object()->Call("Close");
  EXPECT_EQ(ReadBytes(file), "x\r\n\r\n");

  EXPECT_EQ(ErrorOf([&] {
              fso->Invoke("createtextfile", MemberKind::Method, {Variant(file)},
                          {{"OVERWRITE", Variant(false)}});
            }),
            58);

  std::string wide = dir_ / "wide.txt";
  fso->Invoke("CreateTextFile", MemberKind::Method, {Variant(wide)}, {{"unicode", Variant(true)}})
      .object()
      ->Call("Write", {Variant("\xE5\xBC\x80")});
  // IOMode defaults to reading; the mark decides the encoding.
  ObjectRef reader = fso->Call("OpenTextFile", {Variant(wide)}).object();
  EXPECT_FALSE(reader->Get("AtEndOfStream").ToBool());
  EXPECT_EQ(reader->Call("ReadAll").ToString(), "\xE5\xBC\x80");
  EXPECT_TRUE(reader->Get("AtEndOfStream").ToBool());
  EXPECT_TRUE(fso->Call("FileExists", {Variant(wide)}).ToBool());
  fso->Call("DeleteFile", {Variant(wide)});
  EXPECT_FALSE(Exists(wide));
}

}  // namespace
}  // namespace q6::textfile
