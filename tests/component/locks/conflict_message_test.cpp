// The conflict message, built from the row of the lock in the way.
#include "component/locks/conflict_message.h"

#include <gtest/gtest.h>

namespace q6 {
namespace {

TEST(LockConflictMessage, NamesWhatTheRowHolds) {
  const Variant null = Variant::Null();
  struct Row {
    LockHolderRow row;
    std::string message;
  } rows[] = {
      {{"pc01", "user1", "fd", "7", ""},
       "当前记录已被工作站[pc01]上的用户[user1]于模块[fd]中锁定(级别7)，请稍后再试！"},
      {{"pc01", "user1", "fd", "7", null},
       "当前记录已被工作站[pc01]上的用户[user1]于模块[fd]中锁定(级别7)，请稍后再试！"},
      {{"pc01", "user1", "fd", "6", "月末结账"},
       "当前记录已被工作站[pc01]上的用户[user1]于模块[fd]中锁定(级别6)，原因如下:"
       "\r\n\r\n\t月末结账"},
      {{"", "user1", null, "3", ""}, "当前记录已被用户[user1]锁定(级别3)，请稍后再试！"},
      {{null, "", "fd", "5", "x"}, "当前记录已被于模块[fd]中锁定(级别5)，原因如下:\r\n\r\n\tx"},
      {{"w", null, "", null, ""}, "当前记录已被工作站[w]上的锁定(级别)，请稍后再试！"},
  };
  for (const Row& r : rows) EXPECT_EQ(LockConflictMessage(r.row), r.message);
}

TEST(LockConflictMessage, UsesFullWidthPunctuationWhereTheTextHasIt) {
  std::string m = LockConflictMessage({"w", "u", "m", "7", ""});
  // ASCII parentheses, a full-width comma (U+FF0C) and exclamation mark (U+FF01).
  EXPECT_NE(m.find("(\xE7\xBA\xA7\xE5\x88\xAB"
                   "7)\xEF\xBC\x8C"),
            std::string::npos);
  EXPECT_EQ(m.substr(m.size() - 3), "\xEF\xBC\x81");
  std::string d = LockConflictMessage({"w", "u", "m", "7", "r"});
  EXPECT_NE(d.find("\xE5\x8E\x9F\xE5\x9B\xA0\xE5\xA6\x82\xE4\xB8\x8B:\r\n\r\n\tr"),
            std::string::npos);
  EXPECT_EQ(
      std::string(kLockConcurrencyFailure).substr(std::string(kLockConcurrencyFailure).size() - 3),
      "\xEF\xBC\x81");
}

}  // namespace
}  // namespace q6
