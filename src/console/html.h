// HTML for the console's pages: escaping, links, tables, forms and the page
// frame.
//
// Every text that reaches a page goes through Escape (or through the
// builders here, which escape what they are given), so a value read from
// the database can never become markup: "<script>" shows as the text
// "<script>". Attribute values are always double-quoted and escaped the
// same way. Nothing here fetches or links anything outside the console.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/variant.h"

namespace q6::console {

// `text` with & < > " ' replaced by entities; safe in element content and
// in a double- or single-quoted attribute. Bytes that are not UTF-8 are
// kept as they are (the page is served as UTF-8; the browser shows U+FFFD).
std::string Escape(std::string_view text);

// A value as a page shows it: Null as "Null", Empty as "", everything else
// by its text conversion; escaped.
std::string Cell(const Variant& v);

// `text` percent-encoded for a query string value (RFC 3986 unreserved
// characters kept).
std::string UrlEncode(std::string_view text);

// A relative URL: `path` with its query parameters encoded and joined, for
// an href (escape it with Link, or Escape when written by hand).
std::string Url(std::string_view path,
                const std::vector<std::pair<std::string, std::string>>& query = {});

// <a href="url">text</a>, both escaped.
std::string Link(std::string_view url, std::string_view text);

// A table: a header row and rows of cells that are already HTML (from Cell,
// Link or Escape). Rows may be shorter than the header.
class HtmlTable {
 public:
  explicit HtmlTable(std::vector<std::string> headers, std::string css_class = "");
  void Add(std::vector<std::string> cells_html);
  size_t size() const { return rows_.size(); }
  std::string Render() const;

 private:
  std::vector<std::string> headers_;
  std::string class_;
  std::vector<std::vector<std::string>> rows_;
};

// A POST form to `action` carrying `hidden` fields and the anti-forgery
// token, with one submit button labelled `button`.
std::string PostForm(std::string_view action,
                     const std::vector<std::pair<std::string, std::string>>& hidden,
                     std::string_view csrf, std::string_view button);

// A whole page: title, the navigation bar (links only for a served data
// source index `ds` >= 0), a read-only badge, and `body_html`. `refresh_s` >
// 0 adds a meta refresh.
struct Frame {
  std::string title;
  int ds = -1;
  std::string ds_label;  // the data source as shown beside the title
  bool read_only = false;
  int refresh_s = 0;
};
std::string RenderPage(const Frame& frame, std::string_view body_html);

}  // namespace q6::console
