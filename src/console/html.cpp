// HTML builders of the console. Everything that takes text escapes it here,
// so that page code cannot forget to; builders that take HTML say so in
// their names (cells_html, body_html).
#include "console/html.h"

#include <cstdio>

#include "runtime/com_error.h"

namespace q6::console {

std::string Escape(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string Cell(const Variant& v) {
  if (v.IsNull()) return "<span class=\"null\">Null</span>";
  if (v.IsEmpty()) return "";
  if (v.IsObject()) return "<span class=\"null\">(object)</span>";
  try {
    if (v.type() == VarType::ByteArray)
      return "<span class=\"null\">(" + std::to_string(v.ToBytes().size()) + " bytes)</span>";
    if (v.type() == VarType::Array) return "<span class=\"null\">(array)</span>";
    return Escape(v.ToString());
  } catch (const ComError&) {
    return "<span class=\"null\">(not shown)</span>";
  }
}

std::string UrlEncode(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '.' || c == '_' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string Url(std::string_view path,
                const std::vector<std::pair<std::string, std::string>>& query) {
  std::string url(path);
  char sep = '?';
  for (const auto& [k, v] : query) {
    url += sep;
    url += UrlEncode(k) + "=" + UrlEncode(v);
    sep = '&';
  }
  return url;
}

std::string Link(std::string_view url, std::string_view text) {
  return "<a href=\"" + Escape(url) + "\">" + Escape(text) + "</a>";
}

HtmlTable::HtmlTable(std::vector<std::string> headers, std::string css_class)
    : headers_(std::move(headers)), class_(std::move(css_class)) {}

void HtmlTable::Add(std::vector<std::string> cells_html) { rows_.push_back(std::move(cells_html)); }

std::string HtmlTable::Render() const {
  std::string h = class_.empty() ? "<table>" : "<table class=\"" + Escape(class_) + "\">";
  h += "<thead><tr>";
  for (const std::string& c : headers_) h += "<th>" + Escape(c) + "</th>";
  h += "</tr></thead><tbody>\n";
  for (const auto& row : rows_) {
    h += "<tr>";
    for (const std::string& c : row) h += "<td>" + c + "</td>";
    h += "</tr>\n";
  }
  h += "</tbody></table>\n";
  return h;
}

std::string PostForm(std::string_view action,
                     const std::vector<std::pair<std::string, std::string>>& hidden,
                     std::string_view csrf, std::string_view button) {
  std::string f = "<form method=\"post\" action=\"" + Escape(action) + "\">";
  for (const auto& [k, v] : hidden)
    f += "<input type=\"hidden\" name=\"" + Escape(k) + "\" value=\"" + Escape(v) + "\">";
  f += "<input type=\"hidden\" name=\"csrf\" value=\"" + Escape(csrf) + "\">";
  f += "<button type=\"submit\">" + Escape(button) + "</button></form>";
  return f;
}

namespace {

constexpr const char* kStyle =
    "body{font-family:sans-serif;margin:0;color:#222}"
    "header{background:#24466b;color:#fff;padding:.5em 1em}"
    "header a{color:#fff;margin-right:1.2em;text-decoration:none}"
    "header .ds{float:right;opacity:.8}"
    "main{padding:1em}"
    "table{border-collapse:collapse;margin:.5em 0}"
    "th,td{border:1px solid #ccc;padding:.2em .5em;text-align:left;vertical-align:top}"
    "th{background:#eef2f6}"
    "td{font-family:monospace;white-space:pre-wrap}"
    ".null{color:#999;font-style:italic}"
    ".badge{background:#b33;color:#fff;padding:.1em .5em;border-radius:.3em;margin-left:1em}"
    ".nav a,.nav form{display:inline-block;margin-right:1em}"
    ".state-gone{color:#b33;font-weight:bold}.state-alive{color:#282}"
    ".state-administrator{color:#24466b}"
    "form{display:inline}"
    ".err{color:#b33}";

}  // namespace

std::string RenderPage(const Frame& frame, std::string_view body_html) {
  std::string p =
      "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
      "<meta name=\"viewport\" content=\"width=device-width\">";
  if (frame.refresh_s > 0)
    p += "<meta http-equiv=\"refresh\" content=\"" + std::to_string(frame.refresh_s) + "\">";
  p += "<title>" + Escape(frame.title) + " - q6fd console</title><style>" + kStyle +
       "</style></head>\n<body><header><a href=\"/\"><b>q6fd console</b></a>";
  if (frame.ds >= 0) {
    std::string ds = std::to_string(frame.ds);
    p += Link(Url("/types", {{"ds", ds}}), "Document types");
    p += Link(Url("/locks", {{"ds", ds}}), "Locks");
  }
  p += Link("/trace", "Trace");
  if (frame.read_only) p += "<span class=\"badge\">read-only</span>";
  if (!frame.ds_label.empty()) p += "<span class=\"ds\">" + Escape(frame.ds_label) + "</span>";
  p += "</header>\n<main><h1>" + Escape(frame.title) + "</h1>\n";
  p += body_html;
  p += "</main></body></html>\n";
  return p;
}

}  // namespace q6::console
