// The program's one date-time value: a day count with a time fraction, day 0 being
// 1899-12-30 (the "zero date"). 1.25 is 1899-12-31 06:00. For days before day 0 the
// fraction is the time of day with the sign of the day (-1.25 is 1899-12-29 06:00).
// Formatting never follows the machine's locale.
#pragma once

#include <cstdint>
#include <string>

namespace korvel {

struct TDateTime {
  double value = 0.0;

  constexpr TDateTime() = default;
  constexpr explicit TDateTime(double v) : value(v) {}
  bool IsZero() const { return value == 0.0; }
  friend bool operator==(TDateTime a, TDateTime b) { return a.value == b.value; }
  friend auto operator<=>(TDateTime a, TDateTime b) { return a.value <=> b.value; }
};

struct DateParts {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// Day number of a calendar date (1899-12-30 = 0). No range check.
int32_t DaysFromCivil(int year, int month, int day);
void CivilFromDays(int32_t days, int& year, int& month, int& day);
bool IsValidDate(int year, int month, int day);

TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int millisecond = 0);
TDateTime EncodeDateTime(const DateParts& parts);
DateParts DecodeDateTime(TDateTime dt);

// Integer part: the date without its time.
TDateTime DateOf(TDateTime dt);
// Fraction: the time without its date.
TDateTime TimeOf(TDateTime dt);

TDateTime Now();

// Delphi-style format: yyyy, yy, mm, m, dd, d, hh, h, nn, n, ss, s, zzz; any other
// character is copied; text between double quotes is copied as it is.
std::string FormatDateTime(const std::string& format, TDateTime dt);

// "yyyy-mm-dd" (the fixed short date format of the program).
std::string DateToStr(TDateTime dt);
// "yyyy-mm-dd" then " h:nn" unless the time is midnight: the program's fixed short
// date and long time formats. Texts meant to be read back keep their seconds through
// FormatDateTime instead.
std::string DateTimeToStr(TDateTime dt);

// Reads "yyyy-mm-dd", optionally followed by " hh:nn[:ss[.zzz]]". False on bad input.
bool TryParseDateTime(const std::string& text, TDateTime& out);

}  // namespace korvel
