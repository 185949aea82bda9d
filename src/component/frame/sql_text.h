// Pieces of SQL text as the component joins them.
//
// Every value the component places between single quotes goes through
// SqlQuoted, which doubles a quote inside it: a value with a quote can then
// neither break the statement nor change its meaning. Values without a quote
// come out exactly as they went in, so the statements keep their usual text.
#pragma once

#include <string>
#include <string_view>

#include "runtime/variant.h"

namespace q6 {

// `text` with every single quote doubled, without surrounding quotes.
std::string SqlEscaped(std::string_view text);

// "'" + SqlEscaped(text) + "'".
std::string SqlQuoted(std::string_view text);

// A Long as plain decimal text ("-12").
std::string SqlNumber(int64_t n);

}  // namespace q6
