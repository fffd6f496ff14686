#pragma once
// Fields inside text runs: the slide number, dates and times in the formats a presentation
// names, and header and footer texts, as they show when the slide is on screen.
#include <cstdint>
#include <string>

namespace ppt {

struct DateTime {
  int year = 2000, month = 1, day = 1;  // month 1..12
  int hour = 0, minute = 0, second = 0;
  int weekday = 6;  // 0 Sunday .. 6 Saturday
};

// The local date and time now, or the one given (all zero: now); the weekday is worked out.
DateTime DateTimeFor(int year, int month, int day, int hour, int minute, int second);

// A date and time in one of the thirteen formats a file names by number (0: short date,
// 1: long date, ... 12: time with seconds and AM/PM); out-of-range numbers give the short date.
std::u16string FormatDateTime(int format, const DateTime& t);

}  // namespace ppt
