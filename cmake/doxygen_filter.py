#!/usr/bin/env python3
"""Doxygen input filter for the public headers.

The headers document themselves in plain `//` comments, as the code does
everywhere. For the API reference the filter hands them to Doxygen as if
they were written with `///`: the comment block at the top of a header
describes the file, a comment block directly above a declaration describes
that declaration, and a comment after a member on its line describes that
member.
"""
import re
import sys

COMMENT = re.compile(r"^(\s*)//(?!/)(.*)$")
# A member followed by its comment; lines with quotes are left alone, so
# that "//" inside a string never counts.
TRAILING = re.compile(r"^([^\"'/]*?[;,])(\s*)//(?!/)(.*)$")


def convert(lines):
    out = []
    in_file_comment = True
    for line in lines:
        m = COMMENT.match(line)
        if m:
            indent, text = m.groups()
            if in_file_comment and not out:
                out.append("/// \\file\n")
            out.append(f"{indent}///{text}\n")
            continue
        in_file_comment = False
        t = TRAILING.match(line)
        if t and not line.lstrip().startswith("}"):
            code, gap, text = t.groups()
            line = f"{code}{gap}///<{text}\n"
        out.append(line)
    return out


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        sys.stdout.write("".join(convert(f.readlines())))


if __name__ == "__main__":
    main()
