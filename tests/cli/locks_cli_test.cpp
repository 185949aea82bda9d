// q6fd locks / lock / unlock as an administrator uses them: texts shown with
// their control characters, backslashes and stray bytes escaped, given back
// to `unlock` as shown; a lock taken with `q6fd lock` is an administrator's,
// never released as stale.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cli/run_q6fd.h"
#include "cli/text_table.h"
#include "platform/schema/schema.h"
#include "support/test_db.h"

namespace q6 {
namespace {

using test::CmdResult;
using test::Quote;
using ::testing::HasSubstr;

class CliLocksTest : public test::EngineTest {
 protected:
  CmdResult Cmd(const std::string& args) { return test::Q6fd(args, folder()); }
  std::string D() { return Quote(dsn()); }
};

TEST_P(CliLocksTest, EscapedTextsGoBackToUnlockAndAdministratorsLocksStay) {
  InitDataSource(dsn());
  EXPECT_EQ(Cmd("lock " + D() + " --id " + Quote("a\n\x1B[31m\\b")).status, 0);
  for (const char* format : {"", "--json ", "--csv "}) {
    CmdResult listed = Cmd(std::string(format) + "locks " + D());
    EXPECT_EQ(listed.status, 0) << listed.both();
    EXPECT_THAT(listed.out,
                HasSubstr(std::string_view(format) == "--json " ? "a\\\\n\\\\x1B[31m\\\\\\\\b"
                                                                : "a\\n\\x1B[31m\\\\b"));
    EXPECT_EQ(listed.out.find('\x1B'), std::string::npos) << format;
  }
  CmdResult lock = Cmd("lock " + D() + " --id held --as admin");
  EXPECT_EQ(lock.status, 0) << lock.both();
  CmdResult unlock = Cmd("unlock " + D() + " --id " + Quote("a\\n\\x1B[31m\\\\b"));
  EXPECT_EQ(unlock.status, 0) << unlock.both();
  EXPECT_EQ(Cmd("unlock " + D() + " --stale").status, 0);
  EXPECT_THAT(Cmd("locks " + D()).out, HasSubstr("administrator"));
  EXPECT_EQ(Scalar("select count(*) from FD_Locks").ToLong(), 1);

  // Bytes that are not UTF-8 (storable on SQLite only) take the same way.
  for (const std::string& text : {std::string("\xE4\xB8"
                                              "abc"),
                                  std::string("ok\\x")})
    EXPECT_EQ(cli::UnescapedText(cli::EscapedText(text)), text);
  EXPECT_EQ(cli::EscapedText("\xE4\xB8"
                             "abc"),
            "\\xE4\\xB8abc");
}

Q6_INSTANTIATE_ENGINE_TEST(CliLocksTest);

}  // namespace
}  // namespace q6
