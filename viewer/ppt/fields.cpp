#include "ppt/fields.h"

#include <ctime>

namespace ppt {
namespace {

const char* const kMonths[] = {"January",   "February", "March",    "April",
                               "May",       "June",     "July",     "August",
                               "September", "October",  "November", "December"};
const char* const kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                             "Thursday", "Friday", "Saturday"};

std::string Two(int v) {
  return (v < 10 ? "0" : "") + std::to_string(v);
}

// Sakamoto's method: the weekday of a Gregorian date.
int Weekday(int y, int m, int d) {
  static const int t[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (m < 3) y -= 1;
  return (y + y / 4 - y / 100 + y / 400 + t[m - 1] + d) % 7;
}

}  // namespace

DateTime DateTimeFor(int year, int month, int day, int hour, int minute, int second) {
  DateTime t;
  if (year == 0 && month == 0 && day == 0) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    t.year = local.tm_year + 1900;
    t.month = local.tm_mon + 1;
    t.day = local.tm_mday;
    t.hour = local.tm_hour;
    t.minute = local.tm_min;
    t.second = local.tm_sec;
  } else {
    t.year = year;
    t.month = month < 1 || month > 12 ? 1 : month;
    t.day = day < 1 || day > 31 ? 1 : day;
    t.hour = hour < 0 || hour > 23 ? 0 : hour;
    t.minute = minute < 0 || minute > 59 ? 0 : minute;
    t.second = second < 0 || second > 59 ? 0 : second;
  }
  t.weekday = Weekday(t.year, t.month, t.day);
  return t;
}

std::u16string FormatDateTime(int format, const DateTime& t) {
  const std::string month = kMonths[(t.month - 1) % 12];
  const std::string mon = month.substr(0, 3);
  const std::string yyyy = std::to_string(t.year), yy = Two(t.year % 100);
  const std::string short_date = std::to_string(t.month) + "/" + std::to_string(t.day) + "/" + yyyy;
  const int h12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
  const std::string ampm = t.hour < 12 ? " AM" : " PM";
  const std::string hm12 = std::to_string(h12) + ":" + Two(t.minute);
  const std::string hms12 = hm12 + ":" + Two(t.second);
  const std::string hm24 = std::to_string(t.hour) + ":" + Two(t.minute);
  std::string s;
  switch (format) {
    case 1:
      s = std::string(kDays[t.weekday % 7]) + ", " + month + " " + std::to_string(t.day) + ", " +
          yyyy;
      break;
    case 2:
      s = std::to_string(t.day) + " " + month + " " + yyyy;
      break;
    case 3:
      s = month + " " + std::to_string(t.day) + ", " + yyyy;
      break;
    case 4:
      s = std::to_string(t.day) + "-" + mon + "-" + yy;
      break;
    case 5:
      s = month + " " + yy;
      break;
    case 6:
      s = mon + "-" + yy;
      break;
    case 7:
      s = short_date + " " + hm12 + ampm;
      break;
    case 8:
      s = short_date + " " + hms12 + ampm;
      break;
    case 9:
      s = hm24;
      break;
    case 10:
      s = hm24 + ":" + Two(t.second);
      break;
    case 11:
      s = hm12 + ampm;
      break;
    case 12:
      s = hms12 + ampm;
      break;
    default:
      s = short_date;
  }
  return std::u16string(s.begin(), s.end());
}

}  // namespace ppt
