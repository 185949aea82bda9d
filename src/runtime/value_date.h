// Dates of the automation runtime as text.
//
// A date is a count of days since 1899-12-30; the fraction is the time of
// day. Before the epoch the fraction still counts forward from midnight:
// -1.25 is 1899-12-29 06:00. Text is ISO "yyyy-mm-dd" with an optional
// " hh:mm:ss", the same in every locale.
#pragma once

#include <string>
#include <string_view>

#include "runtime/internal_export.h"

namespace q6::value {

// The range of dates: 0100-01-01 to 9999-12-31 23:59:59.
Q6FD_INTERNAL bool DateInRange(double days);

// "2024-03-01" or "2024-03-01 13:45:00" (the time only when there is one;
// the time is rounded to the second). REQUIRES: DateInRange(days).
Q6FD_INTERNAL std::string FormatDate(double days);

// Reads "yyyy-mm-dd" with an optional time "hh:mm" or "hh:mm:ss" after a
// blank or 'T'; blanks around are allowed. False for anything else,
// including impossible dates (2023-02-29) and years outside 100..9999.
Q6FD_INTERNAL bool ParseDate(std::string_view text, double* days);

}  // namespace q6::value
