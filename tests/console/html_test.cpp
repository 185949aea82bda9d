// The console's escaping and URL building: what a value from the database or
// a visitor's text can do to a page.
#include "console/html.h"

#include <gtest/gtest.h>

namespace q6::console {
namespace {

struct EscapeCase {
  std::string in, out;
};

class EscapeTest : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(EscapeTest, NoMarkupSurvives) {
  EXPECT_EQ(Escape(GetParam().in), GetParam().out);
  EXPECT_EQ(Cell(Variant(GetParam().in)), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Values, EscapeTest,
    ::testing::Values(EscapeCase{"<script>alert('x')</script>",
                                 "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;"},
                      EscapeCase{"\" onmouseover=\"x", "&quot; onmouseover=&quot;x"},
                      EscapeCase{"a&amp;b", "a&amp;amp;b"},  // escaped once more, never decoded
                      EscapeCase{"收款单 <b>", "收款单 &lt;b&gt;"}, EscapeCase{"", ""}));

TEST(CellTest, NullAndEmptyAreTold) {
  EXPECT_NE(Cell(Variant::Null()), Cell(Variant(std::string("Null"))));
  EXPECT_EQ(Cell(Variant()), "");
}

TEST(UrlTest, ValuesCannotAddParameters) {
  EXPECT_EQ(Url("/records", {{"from", "a&ds=1"}, {"n", "5"}}), "/records?from=a%26ds%3D1&n=5");
  EXPECT_EQ(Url("/record", {{"oid", "x y#\"<"}}), "/record?oid=x%20y%23%22%3C");
  EXPECT_EQ(Link("/a?b=1&c=2", "<i>"), "<a href=\"/a?b=1&amp;c=2\">&lt;i&gt;</a>");
}

TEST(PostFormTest, CarriesTheTokenAndEscapesFields) {
  std::string f = PostForm("/locks/release", {{"id", "\"><script>"}}, "tok", "Release");
  EXPECT_NE(f.find("name=\"csrf\" value=\"tok\""), std::string::npos);
  EXPECT_EQ(f.find("<script>"), std::string::npos);
}

}  // namespace
}  // namespace q6::console
