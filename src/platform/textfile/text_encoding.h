// The two encodings of a text file: UTF-8 (the default) and UTF-16LE with a
// byte-order mark. Text inside the process is always UTF-8.
#pragma once

#include <string>
#include <string_view>

#include "runtime/internal_export.h"

namespace q6::textfile {

enum class TextEncoding { kUtf8, kUtf16Le };

// The byte-order marks the reader recognises at the start of a file.
inline constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// UTF-8 text as file bytes in `encoding` (no byte-order mark). A byte that
// does not start a valid UTF-8 sequence becomes U+FFFD in UTF-16LE.
Q6FD_INTERNAL std::string EncodeText(std::string_view utf8, TextEncoding encoding);

// UTF-16LE bytes as UTF-8 text. A lone surrogate and a trailing odd byte
// become U+FFFD.
Q6FD_INTERNAL std::string Utf16LeToUtf8(std::string_view bytes);

// The encoding a file's first bytes announce: UTF-16LE after FF FE, else
// `fallback`.
Q6FD_INTERNAL TextEncoding DetectEncoding(std::string_view head, TextEncoding fallback);

// The whole content of a file as UTF-8 text, its byte-order mark removed:
// UTF-16LE when `encoding` says so or the bytes start with FF FE; otherwise
// UTF-8 (a leading EF BB BF is dropped).
Q6FD_INTERNAL std::string DecodeFile(std::string_view bytes, TextEncoding encoding);

}  // namespace q6::textfile
