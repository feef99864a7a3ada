#pragma once
// Built-in functions for code from text, variables by name, the clipboard,
// program settings and dates, and the date arithmetic they rest on.
#include <cstdint>

struct RFunctionLibrary;
extern const RFunctionLibrary kLibrary_Misc;

// How many codes execute_string and execute_file have compiled so far (the
// same text is compiled once).
long long ExecuteCompilations();

// Date-time values: whole days from 30 December 1899 (proleptic Gregorian),
// the fraction the time of day (in magnitude for negative values).
namespace datetime {
struct RParts {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, ms = 0;
  int64_t days = 0;  // the whole days of the value, toward zero
};
bool IsLeap(int year);
int DaysInMonth(int year, int month);
bool ValidDate(int y, int m, int d);
bool ValidTime(int h, int mi, int s);
double EncodeDate(int y, int m, int d);
double EncodeTime(int h, int mi, int s, int ms);
// Date and time together: subtracted for dates before day 0.
double Compose(double date, double time);
// Splits a value rounded to the millisecond; false (every field 0) outside the
// years 1 to 9999 and for NaN or infinities.
bool Decode(double value, RParts& parts);
int Weekday(int64_t days);  // 1 Sunday .. 7 Saturday
int IsoWeek(const RParts& parts);
int DayOfYear(const RParts& parts);
// The local date and time now.
double Now();
// Moves by whole calendar months, the day lowered to the new month's last.
double IncMonths(double value, int64_t months, bool& ok);
}  // namespace datetime
