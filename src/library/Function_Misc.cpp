// Built-in functions for code from text, external functions, variables by name, the clipboard, program settings and dates.
#include "library/Function_Misc.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <memory>
#include <sstream>
#include <unordered_map>

#include "library/Support_Path.h"
#include "platform/Game_Window.h"
#include "platform/Platform.h"
#include "runner/DataNew_Main.h"
#include "runner/Support_Various.h"
#include "script/Code_Error.h"
#include "script/Code_Exec.h"
#include "script/Code_Main.h"
#include "script/Code_Spaces.h"
#include "script/Code_Variable.h"
#include "script/Support_DLL.h"
#include "script/Function_Args.h"
#include "script/Function_Library.h"
#include "script/Variable_Main.h"

// ---- dates -------------------------------------------------------------------------

namespace datetime {
namespace {
constexpr int64_t kMsPerDay = 86400000;

// Days from 1 January 1970 of a proleptic Gregorian date (exact for any year).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}
void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = int(doy - (153 * mp + 2) / 5 + 1);
  m = int(mp < 10 ? mp + 3 : mp - 9);
  y = int(yoe + era * 400 + (m <= 2));
}
const int64_t kEpoch = DaysFromCivil(1899, 12, 30);
}  // namespace

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int DaysInMonth(int y, int m) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}
bool ValidDate(int y, int m, int d) { return y >= 1 && y <= 9999 && m >= 1 && m <= 12 && d >= 1 && d <= DaysInMonth(y, m); }
bool ValidTime(int h, int mi, int s) { return (h <= 23 && mi <= 59 && s <= 59) || (h == 24 && mi == 0 && s == 0); }

double EncodeDate(int y, int m, int d) { return double(DaysFromCivil(y, m, d) - kEpoch); }
double EncodeTime(int h, int mi, int s, int ms) { return (h * 3600000.0 + mi * 60000.0 + s * 1000.0 + ms) / kMsPerDay; }
double Compose(double date, double time) { return date < 0 ? date - time : date + time; }

bool Decode(double v, RParts& p) {
  p = RParts();
  // Beyond the years 1 to 9999 there is no calendar date to give.
  if (!std::isfinite(v) || v < -693594.0 || v >= 2958466.0) return false;
  const int64_t ms = std::llround(v * double(kMsPerDay));
  const int64_t day = ms / kMsPerDay;  // toward zero: the time of day is the magnitude of the rest
  int64_t t = ms % kMsPerDay;
  if (t < 0) t = -t;
  CivilFromDays(day + kEpoch, p.year, p.month, p.day);
  p.hour = int(t / 3600000);
  p.minute = int(t / 60000 % 60);
  p.second = int(t / 1000 % 60);
  p.ms = int(t % 1000);
  p.days = day;
  return p.year >= 1 && p.year <= 9999;
}

int Weekday(int64_t days) {  // 1 Sunday .. 7 Saturday; day 0 was a Saturday
  return int(((days % 7) + 7 + 6) % 7) + 1;
}

int IsoWeek(const RParts& p) {
  const int64_t days = p.days;
  const int iso = (Weekday(days) + 5) % 7 + 1;  // 1 Monday .. 7 Sunday
  const int64_t thursday = days - (iso - 1) + 3;
  int y, m, d;
  CivilFromDays(thursday + kEpoch, y, m, d);
  return int((thursday - (DaysFromCivil(y, 1, 1) - kEpoch)) / 7) + 1;
}

int DayOfYear(const RParts& p) { return int(p.days - (DaysFromCivil(p.year, 1, 1) - kEpoch)) + 1; }

double Now() {
  timespec ts;
  ::clock_gettime(CLOCK_REALTIME, &ts);
  tm lt;
  const time_t secs = ts.tv_sec;
  ::localtime_r(&secs, &lt);
  return Compose(EncodeDate(lt.tm_year + 1900, lt.tm_mon + 1, lt.tm_mday),
                 EncodeTime(lt.tm_hour, lt.tm_min, std::min(lt.tm_sec, 59), int(ts.tv_nsec / 1000000)));
}

double IncMonths(double d, int64_t months, bool& ok) {
  RParts p;
  ok = Decode(d, p);
  if (!ok) return 0;
  int64_t total = int64_t(p.year) * 12 + (p.month - 1) + months;
  const int64_t y = total >= 0 ? total / 12 : (total - 11) / 12;
  const int m = int(total - y * 12) + 1;
  if (y < 1 || y > 9999) {
    ok = false;
    return 0;
  }
  const int dd = std::min(p.day, DaysInMonth(int(y), m));
  return Compose(EncodeDate(int(y), m, dd), EncodeTime(p.hour, p.minute, p.second, p.ms));
}
}  // namespace datetime

namespace {
using namespace datetime;

void ActionErr(const std::string& text) { ReportActionError(text, false); }

// ---- code from text ----------------------------------------------------------------------

// Compiled codes by text: the same text is compiled once. A code is shared,
// so one still running (execute_string inside execute_string) outlives its
// eviction from the cache.
std::unordered_map<std::string, std::shared_ptr<CCode>> g_codes;
constexpr size_t kMaxCachedCodes = 4096;
long long g_compilations = 0;

std::shared_ptr<CCode> Compiled(const std::string& text, const char* what) {
  if (auto it = g_codes.find(text); it != g_codes.end()) return it->second;
  auto code = std::make_shared<CCode>(text, false);
  ++g_compilations;
  if (!code->Compile()) {
    const std::string error = ErrorText();
    ErrorClear();
    ReportError(std::string("COMPILATION ERROR in ") + what + " to be executed\r" + error, false);
    return nullptr;
  }
  if (g_codes.size() >= kMaxCachedCodes) g_codes.clear();
  g_codes.emplace(text, code);
  return code;
}

void Execute(CInstance* self, CInstance* other, int argc, RValue& result, RValue* args, const std::string& text,
             const char* what) {
  const std::shared_ptr<CCode> code = Compiled(text, what);
  if (!code) return;
  RArgFrame& frame = CurrentArgs();
  RValue saved[16];
  for (int k = 0; k < 16; ++k) saved[k] = frame.slots[k];
  const int saved_dirty = frame.dirty;
  const int n = std::min(argc, 16);
  for (int k = 0; k < 16; ++k) {
    if (k < n - 1) frame.slots[k] = args[k + 1];
    else frame.slots[k].SetReal(0);
  }
  frame.dirty = 16;
  // The frame may have moved when code ran scripts: take it afresh.
  ExecuteCodeReport(self, other, code.get(), result);
  RArgFrame& after = CurrentArgs();
  for (int k = 0; k < 16; ++k) after.slots[k] = std::move(saved[k]);
  after.dirty = std::max(saved_dirty, after.dirty);
}

void F_execute_string(CInstance* self, CInstance* other, int argc, RValue& r, RValue* a) {
  if (argc < 1) return;
  Execute(self, other, argc, r, a, ArgString(a[0]), "string");
}

void F_execute_file(CInstance* self, CInstance* other, int argc, RValue& r, RValue* a) {
  if (argc < 1) return;
  std::ifstream in(HostPath(ArgString(a[0])), std::ios::binary);
  if (!in) return ActionErr("Trying to execute non-existing file.");
  // Each line followed by a CR, as the code was read on its first system.
  std::string text, line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    text += line;
    text += '\r';
  }
  Execute(self, other, argc, r, a, text, "file");
}

// ---- variables by name ---------------------------------------------------------------------

bool IndexOk(const RValue& v, int& out) {
  out = ArgInt(v);
  if (out >= 0 && out < 32000) return true;
  ActionErr("Array index >= 32000");
  return false;
}

int VarId(const RValue& name) { return VariableFind(ArgString(name)); }

void F_variable_global_exists(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  RValue v;
  r.SetReal(GlobalGetVar(VarId(a[0]), 0, v) ? 1 : 0);
}
void GlobalGet(int id, int index, RValue& r) {
  RValue v;
  if (GlobalGetVar(id, index, v)) r = v;
}
void F_variable_global_get(CInstance*, CInstance*, int, RValue& r, RValue* a) { GlobalGet(VarId(a[0]), 0, r); }
void F_variable_global_array_get(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  int i;
  if (IndexOk(a[1], i)) GlobalGet(VarId(a[0]), i, r);
}
void F_variable_global_array2_get(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  int i, j;
  if (IndexOk(a[1], i) && IndexOk(a[2], j)) GlobalGet(VarId(a[0]), i * 32000 + j, r);
}
void F_variable_global_set(CInstance*, CInstance*, int, RValue&, RValue* a) { GlobalSetVar(VarId(a[0]), 0, a[1]); }
void F_variable_global_array_set(CInstance*, CInstance*, int, RValue&, RValue* a) {
  int i;
  if (IndexOk(a[1], i)) GlobalSetVar(VarId(a[0]), i, a[2]);
}
void F_variable_global_array2_set(CInstance*, CInstance*, int, RValue&, RValue* a) {
  int i, j;
  if (IndexOk(a[1], i) && IndexOk(a[2], j)) GlobalSetVar(VarId(a[0]), i * 32000 + j, a[3]);
}

void LocalGet(CInstance* self, int id, int index, RValue& r) {
  RValue v;
  if (self != nullptr && InstanceGetVar(self, id, index, v)) r = v;
}
void LocalSet(CInstance* self, int id, int index, const RValue& v) {
  if (self != nullptr) InstanceSetVar(self, id, index, v);
}
void F_variable_local_exists(CInstance* self, CInstance*, int, RValue& r, RValue* a) {
  const int id = VarId(a[0]);
  RValue v;
  // Every built-in instance variable exists.
  r.SetReal(self != nullptr && id >= 0 && (id < kBuiltinVarLimit || InstanceGetVar(self, id, 0, v)) ? 1 : 0);
}
void F_variable_local_get(CInstance* self, CInstance*, int, RValue& r, RValue* a) { LocalGet(self, VarId(a[0]), 0, r); }
void F_variable_local_array_get(CInstance* self, CInstance*, int, RValue& r, RValue* a) {
  int i;
  if (IndexOk(a[1], i)) LocalGet(self, VarId(a[0]), i, r);
}
void F_variable_local_array2_get(CInstance* self, CInstance*, int, RValue& r, RValue* a) {
  int i, j;
  if (IndexOk(a[1], i) && IndexOk(a[2], j)) LocalGet(self, VarId(a[0]), i * 32000 + j, r);
}
void F_variable_local_set(CInstance* self, CInstance*, int, RValue&, RValue* a) { LocalSet(self, VarId(a[0]), 0, a[1]); }
void F_variable_local_array_set(CInstance* self, CInstance*, int, RValue&, RValue* a) {
  int i;
  if (IndexOk(a[1], i)) LocalSet(self, VarId(a[0]), i, a[2]);
}
void F_variable_local_array2_set(CInstance* self, CInstance*, int, RValue&, RValue* a) {
  int i, j;
  if (IndexOk(a[1], i) && IndexOk(a[2], j)) LocalSet(self, VarId(a[0]), i * 32000 + j, a[3]);
}

// ---- clipboard, title, priority ------------------------------------------------------------

// Without a window system's clipboard (headless, tests) the text stays in the process.
std::string g_clipboard;
bool g_clipboard_set = false;

bool ClipboardGet(std::string& text) {
  if (IGameWindow* w = GameWindow(); w != nullptr && w->ClipboardGet(text)) return true;
  text = g_clipboard;
  return g_clipboard_set;
}

void F_clipboard_has_text(CInstance*, CInstance*, int, RValue& r, RValue*) {
  std::string t;
  r.SetReal(ClipboardGet(t) && !t.empty() ? 1 : 0);
}
void F_clipboard_get_text(CInstance*, CInstance*, int, RValue& r, RValue*) {
  std::string t;
  r.SetString(ClipboardGet(t) ? t : std::string());
}
void F_clipboard_set_text(CInstance*, CInstance*, int, RValue&, RValue* a) {
  g_clipboard = ArgString(a[0]);
  g_clipboard_set = true;
  if (IGameWindow* w = GameWindow()) w->ClipboardSet(g_clipboard);
}

void F_set_application_title(CInstance*, CInstance*, int, RValue&, RValue* a) {
  if (a[0].IsString()) ApplicationTitle = a[0].str;
}

void F_set_program_priority(CInstance*, CInstance*, int, RValue&, RValue* a) {
  // Only the game thread, and only ever down to idle or back to normal: a
  // game never gets more of the machine than an ordinary program.
  const int p = ArgInt(a[0]);
  const int nice = p == -3 ? 19 : p == -2 ? 10 : p == -1 ? 5 : 0;
  ::setpriority(PRIO_PROCESS, id_t(::syscall(SYS_gettid)), nice);
}

// ---- dates -----------------------------------------------------------------------------------

int U16(const RValue& v) { return ArgInt(v) & 0xFFFF; }
int64_t Steps(const RValue& v) { return ArgInt(v); }

template <typename F>
void WithParts(const RValue& d, RValue& r, F f) {
  RParts p;
  if (Decode(ArgReal(d), p)) r.SetReal(f(p));
}

void F_date_current_datetime(CInstance*, CInstance*, int, RValue& r, RValue*) { r.SetReal(Now()); }
void F_date_current_date(CInstance*, CInstance*, int, RValue& r, RValue*) { r.SetReal(std::trunc(Now())); }
void F_date_current_time(CInstance*, CInstance*, int, RValue& r, RValue*) {
  const double n = Now();
  r.SetReal(std::fabs(n - std::trunc(n)));
}
void F_date_valid_date(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  r.SetReal(ValidDate(U16(a[0]), U16(a[1]), U16(a[2])) ? 1 : 0);
}
void F_date_valid_time(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  r.SetReal(ValidTime(U16(a[0]), U16(a[1]), U16(a[2])) ? 1 : 0);
}
void F_date_valid_datetime(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  r.SetReal(ValidDate(U16(a[0]), U16(a[1]), U16(a[2])) && ValidTime(U16(a[3]), U16(a[4]), U16(a[5])) ? 1 : 0);
}
// Hour 24 passes the validity test but is no time of a day: it gives 0 too.
bool Encodable(int h, int mi, int s) { return ValidTime(h, mi, s) && h < 24; }
void F_date_create_date(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  const int y = U16(a[0]), m = U16(a[1]), d = U16(a[2]);
  if (ValidDate(y, m, d)) r.SetReal(EncodeDate(y, m, d));
}
void F_date_create_time(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  const int h = U16(a[0]), mi = U16(a[1]), s = U16(a[2]);
  if (Encodable(h, mi, s)) r.SetReal(EncodeTime(h, mi, s, 0));
}
void F_date_create_datetime(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  const int y = U16(a[0]), m = U16(a[1]), d = U16(a[2]), h = U16(a[3]), mi = U16(a[4]), s = U16(a[5]);
  if (ValidDate(y, m, d) && Encodable(h, mi, s)) r.SetReal(Compose(EncodeDate(y, m, d), EncodeTime(h, mi, s, 0)));
}

void F_date_inc_year(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  bool ok;
  const double v = IncMonths(ArgReal(a[0]), Steps(a[1]) * 12, ok);
  if (ok) r.SetReal(v);
}
void F_date_inc_month(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  bool ok;
  const double v = IncMonths(ArgReal(a[0]), Steps(a[1]), ok);
  if (ok) r.SetReal(v);
}
void IncBy(const RValue* a, RValue& r, double unit_days) {
  const double v = ArgReal(a[0]) + double(Steps(a[1])) * unit_days;
  if (std::isfinite(v)) r.SetReal(v);
}
void F_date_inc_week(CInstance*, CInstance*, int, RValue& r, RValue* a) { IncBy(a, r, 7); }
void F_date_inc_day(CInstance*, CInstance*, int, RValue& r, RValue* a) { IncBy(a, r, 1); }
void IncUnits(const RValue* a, RValue& r, double u) {
  const double d = ArgReal(a[0]);
  const double k = double(Steps(a[1]));
  const double v = d > 0 ? (d * u + k) / u : (d * u - k) / u;
  if (std::isfinite(v)) r.SetReal(v);
}
void F_date_inc_hour(CInstance*, CInstance*, int, RValue& r, RValue* a) { IncUnits(a, r, 24); }
void F_date_inc_minute(CInstance*, CInstance*, int, RValue& r, RValue* a) { IncUnits(a, r, 1440); }
void F_date_inc_second(CInstance*, CInstance*, int, RValue& r, RValue* a) { IncUnits(a, r, 86400); }

void F_date_get_year(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  WithParts(a[0], r, [](const RParts& p) { return p.year; });
}
void F_date_get_month(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  WithParts(a[0], r, [](const RParts& p) { return p.month; });
}
void F_date_get_day(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  WithParts(a[0], r, [](const RParts& p) { return p.day; });
}
void F_date_get_hour(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  WithParts(a[0], r, [](const RParts& p) { return p.hour; });
}
void F_date_get_minute(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  WithParts(a[0], r, [](const RParts& p) { return p.minute; });
}
void F_date_get_second(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  WithParts(a[0], r, [](const RParts& p) { return p.second; });
}
void F_date_get_week(CInstance*, CInstance*, int, RValue& r, RValue* a) { WithParts(a[0], r, IsoWeek); }
void F_date_get_weekday(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  WithParts(a[0], r, [](const RParts& p) { return Weekday(p.days); });
}
void F_date_get_day_of_year(CInstance*, CInstance*, int, RValue& r, RValue* a) { WithParts(a[0], r, DayOfYear); }
double HourOfYear(const RParts& p) { return p.hour + (DayOfYear(p) - 1) * 24.0; }
double MinuteOfYear(const RParts& p) { return p.minute + HourOfYear(p) * 60; }
void F_date_get_hour_of_year(CInstance*, CInstance*, int, RValue& r, RValue* a) { WithParts(a[0], r, HourOfYear); }
void F_date_get_minute_of_year(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  WithParts(a[0], r, MinuteOfYear);
}
void F_date_get_second_of_year(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  WithParts(a[0], r, [](const RParts& p) { return p.second + MinuteOfYear(p) * 60; });
}

void Span(const RValue* a, RValue& r, double factor) {
  const double v = std::fabs(ArgReal(a[0]) - ArgReal(a[1])) * factor;
  if (std::isfinite(v)) r.SetReal(v);
}
void F_date_year_span(CInstance*, CInstance*, int, RValue& r, RValue* a) { Span(a, r, 1 / 365.25); }
void F_date_month_span(CInstance*, CInstance*, int, RValue& r, RValue* a) { Span(a, r, 1 / 30.4375); }
void F_date_week_span(CInstance*, CInstance*, int, RValue& r, RValue* a) { Span(a, r, 1 / 7.0); }
void F_date_day_span(CInstance*, CInstance*, int, RValue& r, RValue* a) { Span(a, r, 1); }
void F_date_hour_span(CInstance*, CInstance*, int, RValue& r, RValue* a) { Span(a, r, 24); }
void F_date_minute_span(CInstance*, CInstance*, int, RValue& r, RValue* a) { Span(a, r, 1440); }
void F_date_second_span(CInstance*, CInstance*, int, RValue& r, RValue* a) { Span(a, r, 86400); }

constexpr double kOneMs = 1.0 / 86400000.0;
void F_date_compare_datetime(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  const double d1 = ArgReal(a[0]), d2 = ArgReal(a[1]);
  r.SetReal(std::fabs(d1 - d2) < kOneMs ? 0 : d1 > d2 ? 1 : -1);
}
void F_date_compare_date(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  const double d1 = ArgReal(a[0]), d2 = ArgReal(a[1]);
  r.SetReal(std::trunc(d1) == std::trunc(d2) ? 0 : d1 >= d2 ? 1 : -1);
}
void F_date_compare_time(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  const double f1 = ArgReal(a[0]) - std::trunc(ArgReal(a[0])), f2 = ArgReal(a[1]) - std::trunc(ArgReal(a[1]));
  r.SetReal(std::fabs(f1 - f2) < kOneMs ? 0 : f1 >= f2 ? 1 : -1);
}
void F_date_date_of(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  if (std::isfinite(ArgReal(a[0]))) r.SetReal(std::trunc(ArgReal(a[0])));
}
void F_date_time_of(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  if (std::isfinite(ArgReal(a[0]))) r.SetReal(ArgReal(a[0]) - std::trunc(ArgReal(a[0])));
}

// Fixed formats stand in for the locale's: the short date as yyyy-mm-dd
// and the long time as hh:nn:ss.
std::string DateText(const RParts& p) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", p.year, p.month, p.day);
  return buf;
}
std::string TimeText(const RParts& p) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", p.hour, p.minute, p.second);
  return buf;
}
void F_date_datetime_string(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  RParts p;
  r.SetString("");
  if (!Decode(ArgReal(a[0]), p)) return;
  const bool midnight = p.hour == 0 && p.minute == 0 && p.second == 0 && p.ms == 0;
  r.SetString(midnight ? DateText(p) : DateText(p) + " " + TimeText(p));
}
void F_date_date_string(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  RParts p;
  r.SetString(Decode(ArgReal(a[0]), p) ? DateText(p) : std::string());
}
void F_date_time_string(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  RParts p;
  r.SetString(Decode(ArgReal(a[0]), p) ? TimeText(p) : std::string());
}
void F_date_days_in_month(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  WithParts(a[0], r, [](const RParts& p) { return DaysInMonth(p.year, p.month); });
}
void F_date_days_in_year(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  WithParts(a[0], r, [](const RParts& p) { return IsLeap(p.year) ? 366 : 365; });
}
void F_date_leap_year(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  WithParts(a[0], r, [](const RParts& p) { return IsLeap(p.year) ? 1 : 0; });
}
void F_date_is_today(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  const double today = std::trunc(Now());
  const double d = ArgReal(a[0]);
  r.SetReal(today <= d && d < today + 1 ? 1 : 0);
}

// ---- external functions -------------------------------------------------------------------

bool DllsAllowed() {
  if (!SecureMode) return true;
  ActionErr("In secure mode you cannot use DLLs");
  return false;
}

int TypeOf(const RValue& v) { return ArgInt(v) == 1 ? 1 : 0; }

void Define(RValue& r, const std::string& library, const std::string& name, int calltype, int resulttype,
            const int* types, int count) {
  const int id = DllDefine(library, name, calltype, resulttype, types, count);
  r.SetReal(id);
  if (id < 0) ActionErr("Error defining an external function.");
}

void F_external_define(CInstance*, CInstance*, int argc, RValue& r, RValue* a) {
  if (!DllsAllowed()) return;
  if (argc < 5 || argc != ArgInt(a[4]) + 5) return ActionErr("Wrong number of arguments to external_define()");
  const int n = ArgInt(a[4]);
  if (n > kDllMaxArgs) return ActionErr("DLL functions can have at most 16 arguments");
  int types[kDllMaxArgs + 1] = {};
  for (int i = 0; i < n; ++i) {
    if (n > 4 && ArgInt(a[5 + i]) != 0)
      return ActionErr("DLL functions with more than 4 arguments cannot have string arguments");
    types[i] = TypeOf(a[5 + i]);
  }
  Define(r, ArgString(a[0]), ArgString(a[1]), ArgInt(a[2]), TypeOf(a[3]), types, n);
}

template <int N>
void F_external_defineN(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  if (!DllsAllowed()) return;
  int types[kDllMaxArgs + 1] = {};
  int resulttype;
  if constexpr (N <= 4) {
    for (int i = 0; i < N; ++i) types[i] = TypeOf(a[2 + i]);
    resulttype = TypeOf(a[2 + N]);
  } else {
    resulttype = TypeOf(a[2]);
  }
  Define(r, ArgString(a[0]), ArgString(a[1]), 0, resulttype, types, N);
}

void F_external_call(CInstance*, CInstance*, int argc, RValue& r, RValue* a) {
  if (!DllsAllowed() || argc < 1) return;
  DllCall(ArgInt(a[0]), std::min(argc - 1, kDllMaxArgs - 1), a + 1, r);
}

void F_external_free(CInstance*, CInstance*, int, RValue&, RValue* a) {
  if (DllsAllowed()) DllFree(ArgString(a[0]));
}

// Only built-in routines have an address; a script or package function of
// the name hides the built-in, as it does in code, and gives -1. A 64-bit
// address fits a double exactly (user space is below 2^47).
void F_get_function_address(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  if (!DllsAllowed()) return;
  r.SetReal(-1);
  const int id = FunctionFind(ArgString(a[0]));
  if (id < 0 || id >= kScriptFunctionBase || id >= FunctionCount()) return;
  r.SetReal(double(reinterpret_cast<uintptr_t>(FunctionGet(id).f_routine)));
}

void F_window_handle(CInstance*, CInstance*, int, RValue& r, RValue*) {
  const IGameWindow* w = GameWindow();
  r.SetReal(w ? double(w->NativeHandle()) : 0);
}

constexpr RBuiltin kFunctions[] = {
    {"execute_string", F_execute_string, -1},
    {"execute_file", F_execute_file, -1},
    {"external_define", F_external_define, -1},
    {"external_call", F_external_call, -1},
    {"external_free", F_external_free, 1},
    {"get_function_address", F_get_function_address, 1},
    {"external_define0", F_external_defineN<0>, 3},
    {"external_define1", F_external_defineN<1>, 4},
    {"external_define2", F_external_defineN<2>, 5},
    {"external_define3", F_external_defineN<3>, 6},
    {"external_define4", F_external_defineN<4>, 7},
    {"external_define5", F_external_defineN<5>, 3},
    {"external_define6", F_external_defineN<6>, 3},
    {"external_define7", F_external_defineN<7>, 3},
    {"external_define8", F_external_defineN<8>, 3},
    {"external_call0", F_external_call, 1},
    {"external_call1", F_external_call, 2},
    {"external_call2", F_external_call, 3},
    {"external_call3", F_external_call, 4},
    {"external_call4", F_external_call, 5},
    {"external_call5", F_external_call, 6},
    {"external_call6", F_external_call, 7},
    {"external_call7", F_external_call, 8},
    {"external_call8", F_external_call, 9},
    {"variable_global_exists", F_variable_global_exists, 1},
    {"variable_global_get", F_variable_global_get, 1},
    {"variable_global_array_get", F_variable_global_array_get, 2},
    {"variable_global_array2_get", F_variable_global_array2_get, 3},
    {"variable_global_set", F_variable_global_set, 2},
    {"variable_global_array_set", F_variable_global_array_set, 3},
    {"variable_global_array2_set", F_variable_global_array2_set, 4},
    {"variable_local_exists", F_variable_local_exists, 1},
    {"variable_local_get", F_variable_local_get, 1},
    {"variable_local_array_get", F_variable_local_array_get, 2},
    {"variable_local_array2_get", F_variable_local_array2_get, 3},
    {"variable_local_set", F_variable_local_set, 2},
    {"variable_local_array_set", F_variable_local_array_set, 3},
    {"variable_local_array2_set", F_variable_local_array2_set, 4},
    {"clipboard_has_text", F_clipboard_has_text, 0},
    {"clipboard_get_text", F_clipboard_get_text, 0},
    {"clipboard_set_text", F_clipboard_set_text, 1},
    {"set_application_title", F_set_application_title, 1},
    {"set_program_priority", F_set_program_priority, 1},
    {"window_handle", F_window_handle, 0},
    {"date_current_datetime", F_date_current_datetime, 0},
    {"date_current_date", F_date_current_date, 0},
    {"date_current_time", F_date_current_time, 0},
    {"date_create_datetime", F_date_create_datetime, 6},
    {"date_create_date", F_date_create_date, 3},
    {"date_create_time", F_date_create_time, 3},
    {"date_valid_datetime", F_date_valid_datetime, 6},
    {"date_valid_date", F_date_valid_date, 3},
    {"date_valid_time", F_date_valid_time, 3},
    {"date_inc_year", F_date_inc_year, 2},
    {"date_inc_month", F_date_inc_month, 2},
    {"date_inc_week", F_date_inc_week, 2},
    {"date_inc_day", F_date_inc_day, 2},
    {"date_inc_hour", F_date_inc_hour, 2},
    {"date_inc_minute", F_date_inc_minute, 2},
    {"date_inc_second", F_date_inc_second, 2},
    {"date_get_year", F_date_get_year, 1},
    {"date_get_month", F_date_get_month, 1},
    {"date_get_week", F_date_get_week, 1},
    {"date_get_day", F_date_get_day, 1},
    {"date_get_hour", F_date_get_hour, 1},
    {"date_get_minute", F_date_get_minute, 1},
    {"date_get_second", F_date_get_second, 1},
    {"date_get_weekday", F_date_get_weekday, 1},
    {"date_get_day_of_year", F_date_get_day_of_year, 1},
    {"date_get_hour_of_year", F_date_get_hour_of_year, 1},
    {"date_get_minute_of_year", F_date_get_minute_of_year, 1},
    {"date_get_second_of_year", F_date_get_second_of_year, 1},
    {"date_year_span", F_date_year_span, 2},
    {"date_month_span", F_date_month_span, 2},
    {"date_week_span", F_date_week_span, 2},
    {"date_day_span", F_date_day_span, 2},
    {"date_hour_span", F_date_hour_span, 2},
    {"date_minute_span", F_date_minute_span, 2},
    {"date_second_span", F_date_second_span, 2},
    {"date_compare_datetime", F_date_compare_datetime, 2},
    {"date_compare_date", F_date_compare_date, 2},
    {"date_compare_time", F_date_compare_time, 2},
    {"date_date_of", F_date_date_of, 1},
    {"date_time_of", F_date_time_of, 1},
    {"date_datetime_string", F_date_datetime_string, 1},
    {"date_date_string", F_date_date_string, 1},
    {"date_time_string", F_date_time_string, 1},
    {"date_days_in_month", F_date_days_in_month, 1},
    {"date_days_in_year", F_date_days_in_year, 1},
    {"date_leap_year", F_date_leap_year, 1},
    {"date_is_today", F_date_is_today, 1},
};
}  // namespace

long long ExecuteCompilations() { return g_compilations; }

const RFunctionLibrary kLibrary_Misc{"Misc", kFunctions};
