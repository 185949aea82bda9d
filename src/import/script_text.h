// The text of a script file: its encoding and its batches.
//
// Scripts come as UTF-8 (with or without a byte-order mark) or as UTF-16
// with a byte-order mark (FF FE little-endian, FE FF big-endian). Batches
// are separated by lines holding only GO (any case, blanks around it, an
// optional repeat count, which is ignored).
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace q6::import {

// File bytes as UTF-8 text, the byte-order mark removed. Bytes with a
// UTF-16 mark are UTF-16; else, when `encoding` names one (an iconv name:
// GBK, BIG5, CP1252 and the other Windows code pages), they are converted
// from it; else they must be UTF-8. Raises E_FAIL naming the line of the
// first byte that is not valid in the encoding, or an unknown encoding.
std::string DecodeScriptBytes(std::string_view bytes, const std::string& encoding = "");

// `bytes` (no byte-order mark) as UTF-8: converted from `encoding`, or
// checked when it is "" (UTF-8). Raises E_FAIL naming the line (counted from
// `first_line`) of the first byte that is not valid in the encoding, or an
// unknown encoding.
std::string DecodeLines(std::string_view bytes, const std::string& encoding, int first_line);

// Whether `line` (without its newline) separates batches: GO, any case,
// blanks around it, an optional repeat count.
bool IsGoLine(std::string_view line);

// The bytes of a whole file (a regular file or a pipe; a device, a
// directory or a socket is refused before anything is read), read in one pass into a string of the
// file's size (a data file can be hundreds of megabytes: growing a buffer as it is read would copy
// it several times). Raises E_FAIL naming the file when it cannot be read.
std::string ReadFileBytes(const std::string& path);

// Appends up to `max` bytes read from `file` (opened from `path`) to `*buf`;
// false when nothing was left to read. Raises E_FAIL naming `path` on a read
// error.
bool AppendBlock(std::FILE* file, const std::string& path, size_t max, std::string* buf);

// Reads and decodes a whole file. Raises E_FAIL naming the file when it
// cannot be read or decoded.
std::string ReadTextFile(const std::string& path, const std::string& encoding = "");

struct Batch {
  int number = 0;      // 1-based
  int first_line = 0;  // 1-based line of the batch's first line in the file
  size_t offset = 0;   // of the batch's text in the file's text
  std::string_view text;
};

// The batches of `text`, empty ones (blanks only) left out. The views point
// into `text`.
std::vector<Batch> SplitBatches(std::string_view text);

}  // namespace q6::import
