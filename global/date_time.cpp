#include "global/date_time.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace korvel {
namespace {

// Days from 1970-01-01 to 1899-12-30.
constexpr int32_t kUnixEpochOffset = 25569;
constexpr double kMsPerDay = 86400000.0;

}  // namespace

// Civil-calendar arithmetic after H. Hinnant's public-domain date algorithms.
int32_t DaysFromCivil(int year, int month, int day) {
  year -= month <= 2;
  const int era = (year >= 0 ? year : year - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(year - era * 400);
  const unsigned doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int32_t>(doe) - 719468 + kUnixEpochOffset;
}

void CivilFromDays(int32_t days, int& year, int& month, int& day) {
  int32_t z = days - kUnixEpochOffset + 719468;
  const int32_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe) + era * 400 + (month <= 2);
}

bool IsValidDate(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= kDays[month - 1] + (month == 2 && leap);
}

TDateTime EncodeDate(int year, int month, int day) { return TDateTime(DaysFromCivil(year, month, day)); }

TDateTime EncodeTime(int hour, int minute, int second, int millisecond) {
  return TDateTime((((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + millisecond) / kMsPerDay);
}

TDateTime EncodeDateTime(const DateParts& p) {
  const double date = EncodeDate(p.year, p.month, p.day).value;
  const double time = EncodeTime(p.hour, p.minute, p.second, p.millisecond).value;
  return TDateTime(date >= 0 ? date + time : date - time);
}

DateParts DecodeDateTime(TDateTime dt) {
  DateParts p;
  // Outside years 1..9999 (or not a number) there is no date: the zero date stands in,
  // rather than an undefined conversion.
  if (!std::isfinite(dt.value) || dt.value < -693594.0 || dt.value > 2958466.0) return p;
  double days = std::trunc(dt.value);
  // Round to the millisecond first so that 0.99999999 becomes the next day, not 23:59:59.999.
  int64_t ms = std::llround(std::fabs(dt.value - days) * kMsPerDay);
  if (ms >= static_cast<int64_t>(kMsPerDay)) {
    ms -= static_cast<int64_t>(kMsPerDay);
    days += dt.value >= 0 ? 1 : -1;
  }
  CivilFromDays(static_cast<int32_t>(days), p.year, p.month, p.day);
  p.hour = static_cast<int>(ms / 3600000);
  p.minute = static_cast<int>(ms / 60000 % 60);
  p.second = static_cast<int>(ms / 1000 % 60);
  p.millisecond = static_cast<int>(ms % 1000);
  return p;
}

TDateTime DateOf(TDateTime dt) { return TDateTime(std::trunc(dt.value)); }

TDateTime TimeOf(TDateTime dt) { return TDateTime(std::fabs(dt.value - std::trunc(dt.value))); }

TDateTime Now() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  std::tm local{};
  localtime_r(&ts.tv_sec, &local);
  DateParts p;
  p.year = local.tm_year + 1900;
  p.month = local.tm_mon + 1;
  p.day = local.tm_mday;
  p.hour = local.tm_hour;
  p.minute = local.tm_min;
  p.second = local.tm_sec;
  p.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
  return EncodeDateTime(p);
}

std::string FormatDateTime(const std::string& format, TDateTime dt) {
  const DateParts p = DecodeDateTime(dt);
  std::string out;
  char buf[16];
  auto put = [&](const char* fmt, int v) {
    std::snprintf(buf, sizeof buf, fmt, v);
    out += buf;
  };
  auto count = [&](size_t i, char c) {
    size_t n = 0;
    while (i + n < format.size() && (format[i + n] | 0x20) == c) ++n;
    return n;
  };
  for (size_t i = 0; i < format.size();) {
    const char c = static_cast<char>(format[i] | 0x20);
    size_t n = 1;
    if (format[i] == '"') {
      const size_t end = format.find('"', i + 1);
      const size_t stop = end == std::string::npos ? format.size() : end;
      out.append(format, i + 1, stop - i - 1);
      i = stop + 1;
      continue;
    }
    switch (c) {
      case 'y':
        n = count(i, 'y');
        if (n >= 3)
          put("%04d", p.year);
        else
          put("%02d", p.year % 100);
        break;
      case 'm':
        n = count(i, 'm');
        put(n >= 2 ? "%02d" : "%d", p.month);
        break;
      case 'd':
        n = count(i, 'd');
        put(n >= 2 ? "%02d" : "%d", p.day);
        break;
      case 'h':
        n = count(i, 'h');
        put(n >= 2 ? "%02d" : "%d", p.hour);
        break;
      case 'n':
        n = count(i, 'n');
        put(n >= 2 ? "%02d" : "%d", p.minute);
        break;
      case 's':
        n = count(i, 's');
        put(n >= 2 ? "%02d" : "%d", p.second);
        break;
      case 'z':
        n = count(i, 'z');
        put(n >= 3 ? "%03d" : "%d", p.millisecond);
        break;
      default: out.push_back(format[i]);
    }
    i += n;
  }
  return out;
}

std::string DateToStr(TDateTime dt) { return FormatDateTime("yyyy-mm-dd", dt); }

std::string DateTimeToStr(TDateTime dt) {
  const DateParts p = DecodeDateTime(dt);
  if (p.hour == 0 && p.minute == 0 && p.second == 0 && p.millisecond == 0) return DateToStr(dt);
  return FormatDateTime("yyyy-mm-dd h:nn", dt);
}

bool TryParseDateTime(const std::string& text, TDateTime& out) {
  DateParts p;
  int consumed = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &p.year, &p.month, &p.day, &consumed) != 3) return false;
  if (!IsValidDate(p.year, p.month, p.day)) return false;
  const char* rest = text.c_str() + consumed;
  if (*rest) {
    int more = 0;
    const int got =
        std::sscanf(rest, " %2d:%2d%n:%2d%n.%3d%n", &p.hour, &p.minute, &more, &p.second, &more, &p.millisecond, &more);
    if (got < 2 || rest[more] != '\0') return false;
    if (p.hour > 23 || p.minute > 59 || p.second > 59) return false;
  }
  out = EncodeDateTime(p);
  return true;
}

}  // namespace korvel
