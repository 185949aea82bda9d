// The navigation EditableSql precomputes when it parses (neighbours that are
// not blank, word numbers, where each word occurs) answers as a plain scan of
// the tokens would, for words in the vocabulary and outside it.
#include "platform/dialect/editable_sql.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace q6::dialect {
namespace {

class Navigation : public ::testing::TestWithParam<const char*> {};

TEST_P(Navigation, AnswersAsAScanDoes) {
  EditableSql s;
  ASSERT_TRUE(s.Parse(GetParam()));
  const size_t n = s.size();
  for (size_t i = 0; i <= n; ++i) {
    size_t prev = kNone, next = kNone;
    for (size_t j = 0; j < i; ++j) prev = s.IsBlank(j) ? prev : j;
    for (size_t j = n; j-- > i + 1;) next = s.IsBlank(j) ? next : j;
    EXPECT_EQ(s.PrevSig(i), prev) << i;
    if (i < n) EXPECT_EQ(s.NextSig(i), next) << i;
  }
  size_t first = kNone;
  for (size_t j = n; j-- > 0;) first = s.IsBlank(j) ? first : j;
  EXPECT_EQ(s.NextSig(kNone), first);
  // "select" and "with" are in the vocabulary, "fd_doc" and "sélect" are not.
  for (std::string_view w : {"select", "with", "fd_doc", "sélect"}) {
    bool any = false;
    for (size_t i = 0; i < n; ++i) {
      std::string lower(s.Text(i));
      for (char& c : lower) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c;
      EXPECT_EQ(s.IsWord(i, w), s.Kind(i) == TokenKind::kWord && lower == w) << w << " " << i;
      any = any || s.IsWord(i, w);
    }
    if (WordRef(w).number() != 0) EXPECT_EQ(s.HasWord(w), any) << w;
  }
  size_t expected = kNone;
  for (size_t i = s.FirstWord("select"); i != kNone; i = s.NextWord(i)) {
    for (size_t j = expected + 1; j < i; ++j) EXPECT_FALSE(s.IsWord(j, "select")) << j;
    EXPECT_TRUE(s.IsWord(i, "select")) << i;
    expected = i;
  }
  for (size_t j = expected + 1; j < n; ++j) EXPECT_FALSE(s.IsWord(j, "select")) << j;
}

INSTANTIATE_TEST_SUITE_P(
    Statements, Navigation,
    ::testing::Values("", "   ", "SELECT a FROM t", " select fd_doc.x from FD_DOC with(nolock) ",
                      "Select (SELECT 1) /* select */ union select sélect, [select] -- x",
                      "select\n\tSeLeCt\r\n'select' \"select\" selected"));

}  // namespace
}  // namespace q6::dialect
