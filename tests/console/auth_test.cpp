// The console's secrets: a check that accepts what it should not opens the
// console, or its changes, to anyone.
#include "console/auth.h"

#include <gtest/gtest.h>

namespace q6::console {
namespace {

TEST(AuthTest, OnlyTheExactSecretsPass) {
  Auth a("login123", "sess456", "csrf789");
  EXPECT_TRUE(a.IsLoginToken("login123"));
  EXPECT_TRUE(a.IsCsrfToken("csrf789"));
  for (const char* wrong : {"", "login12", "login1234", "LOGIN123", "sess456", "csrf789"})
    EXPECT_FALSE(a.IsLoginToken(wrong)) << wrong;
  for (const char* wrong : {"", "csrf78", "csrf7890", "login123", "sess456"})
    EXPECT_FALSE(a.IsCsrfToken(wrong)) << wrong;
}

TEST(AuthTest, SessionCookieIsFoundByItsExactName) {
  Auth a("l", "sess456", "c");
  EXPECT_TRUE(a.HasSession("q6fd_console=sess456"));
  EXPECT_TRUE(a.HasSession("theme=dark; q6fd_console=sess456; x=1"));
  EXPECT_FALSE(a.HasSession(""));
  EXPECT_FALSE(a.HasSession("q6fd_console="));
  EXPECT_FALSE(a.HasSession("q6fd_console=sess4567"));
  EXPECT_FALSE(a.HasSession("xq6fd_console=sess456"));
  EXPECT_FALSE(a.HasSession("q6fd_console_old=sess456"));
  EXPECT_NE(a.SessionCookie().find("HttpOnly"), std::string::npos);
  EXPECT_NE(a.SessionCookie().find("SameSite=Strict"), std::string::npos);
}

TEST(AuthTest, EmptySecretsNeverMatch) {
  Auth a("", "", "");
  EXPECT_FALSE(a.IsLoginToken(""));
  EXPECT_FALSE(a.IsCsrfToken(""));
  EXPECT_FALSE(a.HasSession("q6fd_console="));
}

TEST(AuthTest, RandomSecretsAreLongAndDiffer) {
  Auth a, b;
  EXPECT_EQ(a.login_token().size(), 64u);
  EXPECT_NE(a.login_token(), b.login_token());
  EXPECT_NE(a.login_token(), a.csrf_token());
  EXPECT_EQ(a.login_token().find_first_not_of("0123456789abcdef"), std::string::npos);
}

}  // namespace
}  // namespace q6::console
