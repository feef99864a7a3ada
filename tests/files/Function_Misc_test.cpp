// Code from text, variables by name, the clipboard and the date functions.
#include <sys/resource.h>

#include <chrono>
#include <cmath>

#include "../runtime/Runtime_Code.h"
#include "FilesTest.h"
#include "library/Function_Misc.h"
#include "runner/Support_Various.h"
#include "script/Code_Main.h"

using namespace filestest;

namespace {

double D(double y, double m, double d) { return Call("date_create_date", {y, m, d}).val; }
double DT(double y, double m, double d, double h, double mi, double s) {
  return Call("date_create_datetime", {y, m, d, h, mi, s}).val;
}

TEST(Dates, CalendarAcrossCenturies) {
  struct RCase {
    int y, m, d;
    double value;
    int week, weekday, yday;
  } cases[] = {
      {1, 1, 1, -693593, 1, 2, 1},          {1600, 2, 29, -109512, 9, 3, 60},  {1800, 1, 1, -36522, 1, 4, 1},
      {1899, 12, 29, -1, 52, 6, 363},       {1899, 12, 30, 0, 52, 7, 364},     {1900, 1, 1, 2, 1, 2, 1},
      {1900, 3, 1, 61, 9, 5, 60},           {2000, 2, 29, 36585, 9, 3, 60},    {2100, 3, 1, 73110, 9, 2, 60},
      {2400, 2, 29, 182682, 9, 3, 60},      {9999, 12, 31, 2958465, 52, 6, 365}, {2021, 1, 3, 44199, 53, 1, 3},
      {2020, 12, 31, 44196, 53, 5, 366},    {1905, 1, 1, 1828, 52, 1, 1},      {2200, 12, 31, 109939, 1, 4, 365},
  };
  for (const RCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.y) + "-" + std::to_string(c.m) + "-" + std::to_string(c.d));
    const double v = D(c.y, c.m, c.d);
    EXPECT_EQ(v, c.value);
    // With a time of day the date part reads back the same, before day 0 too.
    const double t = DT(c.y, c.m, c.d, 18, 30, 15);
    for (double x : {v, t}) {
      EXPECT_EQ(Call("date_get_year", {x}).val, c.y);
      EXPECT_EQ(Call("date_get_month", {x}).val, c.m);
      EXPECT_EQ(Call("date_get_day", {x}).val, c.d);
      EXPECT_EQ(Call("date_get_week", {x}).val, c.week);
      EXPECT_EQ(Call("date_get_weekday", {x}).val, c.weekday);
      EXPECT_EQ(Call("date_get_day_of_year", {x}).val, c.yday);
    }
    EXPECT_EQ(Call("date_get_hour", {t}).val, 18);
    EXPECT_EQ(Call("date_get_minute", {t}).val, 30);
    EXPECT_EQ(Call("date_get_second", {t}).val, 15);
    EXPECT_EQ(Call("date_get_second_of_year", {t}).val, ((c.yday - 1) * 24.0 + 18) * 3600 + 30 * 60 + 15);
    EXPECT_EQ(Call("date_date_of", {t}).val, v);
    EXPECT_NEAR(std::fabs(Call("date_time_of", {t}).val), (18 * 3600 + 30 * 60 + 15) / 86400.0, 1e-9);
  }
  // A value before day 0 keeps its time of day in magnitude: -1.25 is 29 December 1899, 06:00.
  EXPECT_EQ(DT(1899, 12, 29, 6, 0, 0), -1.25);
  EXPECT_EQ(Call("date_get_hour", {-1.25}).val, 6);
}

TEST(Dates, ValidityLeapYearsAndMonthEnds) {
  EXPECT_EQ(D(2011, 2, 29), 0);
  EXPECT_EQ(Call("date_valid_date", {2012.0, 2.0, 29.0}).val, 1);
  struct RCase {
    int y, m, d;
    bool valid;
  } cases[] = {{1900, 2, 29, false}, {2000, 2, 29, true}, {2100, 2, 29, false}, {2400, 2, 29, true},
               {2023, 4, 31, false}, {2023, 12, 31, true}, {0, 1, 1, false},     {10000, 1, 1, false},
               {2023, 13, 1, false}, {2023, 0, 1, false},  {65536 + 2023, 1, 1, true}};  // 16-bit
  for (const RCase& c : cases)
    EXPECT_EQ(Call("date_valid_date", {double(c.y), double(c.m), double(c.d)}).val, c.valid ? 1 : 0) << c.y << "-" << c.m;
  EXPECT_EQ(Call("date_valid_time", {24.0, 0.0, 0.0}).val, 1);
  EXPECT_EQ(Call("date_valid_time", {24.0, 0.0, 1.0}).val, 0);
  EXPECT_EQ(Call("date_valid_time", {23.0, 59.0, 60.0}).val, 0);
  EXPECT_EQ(Call("date_create_time", {24.0, 0.0, 0.0}).val, 0);
  EXPECT_EQ(Call("date_create_time", {12.0, 0.0, 0.0}).val, 0.5);
  for (int y : {1900, 2000, 2023, 2024, 2100}) {
    const double v = D(y, 6, 1);
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    EXPECT_EQ(Call("date_leap_year", {v}).val, leap ? 1 : 0) << y;
    EXPECT_EQ(Call("date_days_in_year", {v}).val, leap ? 366 : 365) << y;
    EXPECT_EQ(Call("date_days_in_month", {D(y, 2, 10)}).val, leap ? 29 : 28) << y;
  }
  // Months move to the month's last day when needed, the time kept.
  struct RInc {
    double from;
    double months;
    double expect;
  } incs[] = {
      {DT(2024, 1, 31, 13, 0, 0), 1, DT(2024, 2, 29, 13, 0, 0)},
      {DT(2023, 1, 31, 13, 0, 0), 1, DT(2023, 2, 28, 13, 0, 0)},
      {DT(2023, 3, 31, 0, 0, 0), -1, DT(2023, 2, 28, 0, 0, 0)},
      {DT(1899, 12, 29, 6, 0, 0), 2, DT(1900, 2, 28, 6, 0, 0)},
      {D(2099, 11, 30), 3, D(2100, 2, 28)},
      {D(1, 1, 1), -1, 0},       // before the calendar's start
      {D(9999, 12, 1), 1, 0},    // after its end
  };
  for (const RInc& c : incs) EXPECT_EQ(Call("date_inc_month", {c.from, c.months}).val, c.expect) << c.from;
  EXPECT_EQ(Call("date_inc_year", {D(2024, 2, 29), 1.0}).val, D(2025, 2, 28));
  EXPECT_EQ(Call("date_inc_week", {D(2023, 12, 28), 1.0}).val, D(2024, 1, 4));
  EXPECT_EQ(Call("date_inc_day", {0.0, -1.0}).val, -1);
  EXPECT_NEAR(Call("date_inc_hour", {D(2020, 1, 1), 6.0}).val, D(2020, 1, 1) + 0.25, 1e-9);
  EXPECT_NEAR(Call("date_inc_minute", {-2.0, 720.0}).val, -2.5, 1e-9);
  EXPECT_NEAR(Call("date_inc_second", {1.0, 86400.0}).val, 2.0, 1e-9);
}

TEST(Dates, SpansComparesAndHostileValues) {
  const double a = D(2000, 1, 1), b = D(2004, 1, 1);
  EXPECT_EQ(Call("date_day_span", {a, b}).val, 1461);
  EXPECT_EQ(Call("date_year_span", {b, a}).val, 4);
  EXPECT_NEAR(Call("date_month_span", {a, b}).val, 48, 1e-9);
  EXPECT_NEAR(Call("date_week_span", {a, b}).val, 1461 / 7.0, 1e-9);
  EXPECT_EQ(Call("date_hour_span", {a, a + 0.5}).val, 12);
  EXPECT_EQ(Call("date_minute_span", {a, a + 0.5}).val, 720);
  EXPECT_EQ(Call("date_second_span", {a, a + 0.5}).val, 43200);

  const double half_ms = 0.5 / 86400000.0;
  EXPECT_EQ(Call("date_compare_datetime", {a, a + half_ms}).val, 0);
  EXPECT_EQ(Call("date_compare_datetime", {a + 0.1, a}).val, 1);
  EXPECT_EQ(Call("date_compare_datetime", {a, a + 0.1}).val, -1);
  EXPECT_EQ(Call("date_compare_date", {a + 0.9, a + 0.1}).val, 0);
  EXPECT_EQ(Call("date_compare_date", {a + 1, a}).val, 1);
  EXPECT_EQ(Call("date_compare_time", {a + 0.25, b + 0.25}).val, 0);
  EXPECT_EQ(Call("date_compare_time", {a + 0.5, b + 0.25}).val, 1);

  EXPECT_EQ(Call("date_datetime_string", {DT(1850, 7, 4, 9, 5, 7)}).str, "1850-07-04 09:05:07");
  EXPECT_EQ(Call("date_datetime_string", {D(2150, 7, 4)}).str, "2150-07-04");
  EXPECT_EQ(Call("date_time_string", {0.75}).str, "18:00:00");
  // 23:59:59.9996 rounds to the next day's midnight before it is split.
  EXPECT_EQ(Call("date_date_string", {D(2000, 1, 1) + 1 - 0.0004 / 86400}).str, "2000-01-02");

  const double nan = std::nan("");
  const double inf = HUGE_VAL;
  for (double v : {nan, inf, -inf, 1e300, -1e300, 2958466.0, -693594.0}) {
    SCOPED_TRACE(v);
    for (const char* f : {"date_get_year", "date_get_week", "date_get_weekday", "date_get_second_of_year",
                          "date_days_in_month", "date_leap_year"})
      EXPECT_EQ(Call(f, {v}).val, 0) << f;
    EXPECT_EQ(Call("date_date_string", {v}).str, "");
    EXPECT_EQ(Call("date_inc_month", {v, 1.0}).val, 0);
  }
  EXPECT_EQ(Call("date_inc_day", {1.0, 1e300}).val, 1 + 2147483647.0);  // the count saturates
  EXPECT_EQ(Call("date_inc_month", {a, 1e300}).val, 0);
  EXPECT_EQ(Call("date_inc_year", {a, -1e300}).val, 0);
  EXPECT_EQ(Call("date_inc_second", {nan, 1.0}).val, 0);

  const double now = Call("date_current_datetime").val;
  EXPECT_EQ(Call("date_is_today", {now}).val, 1);
  EXPECT_EQ(Call("date_is_today", {now - 1}).val, 0);
  EXPECT_EQ(Call("date_current_date").val, std::trunc(now));
}

class Misc : public FilesTest {
 protected:
  CInstance inst{100001, 0};
  std::string Run(const std::string& text) { return RunCodeOn(inst, text); }
};

TEST_F(Misc, ExecuteStringArgumentsAndErrors) {
  EXPECT_EQ(Run("return execute_string(\"return argument0 + 1\", 5);"), "6");
  EXPECT_EQ(Run("return execute_string(\"return string(argument1) + string(argument15)\", 5);"), "00");
  EXPECT_EQ(Run("return execute_string(\"return argument0 + argument1\", \"a\", \"b\");"), "ab");
  // The caller's arguments come back after the executed code.
  RArgFrame& f = CurrentArgs();
  f.slots[0] = RValue("caller");
  EXPECT_EQ(Errors([&] { EXPECT_EQ(Run("return execute_string(\"return (\", 1);"), "0"); }).rfind(
                "COMPILATION ERROR in string to be executed\r", 0),
            0u);
  EXPECT_EQ(CurrentArgs().slots[0].str, "caller");
  EXPECT_EQ(Run("execute_string(\"argument0 = 7\", 1); return argument0;"), "caller");
  // A run-time error is reported and the caller goes on.
  const std::string err = Errors([&] { EXPECT_EQ(Run("execute_string(\"x = 1 / 0\"); return 3;"), "3"); });
  EXPECT_FALSE(err.empty());
  // Runaway recursion ends in the language's error, not a crash.
  const std::string deep = Errors([&] {
    Run("return execute_string(\"return execute_string(argument0, argument0)\", "
        "\"return execute_string(argument0, argument0)\");");
  });
  EXPECT_NE(deep.find("Recursion too deep"), std::string::npos) << deep;
  EXPECT_EQ(Run("return 1 + 1;"), "2");
  // With no argument nothing happens.
  EXPECT_EQ(Errors([&] { EXPECT_EQ(Run("return execute_string();"), "0"); }), "");
}

TEST_F(Misc, ExecuteFileReadsLinesAndReportsMissingFiles) {
  Spit("code.txt", "var a;\r\na = argument0 * 2\nreturn a");
  EXPECT_EQ(Run("return execute_file(\"CODE.TXT\", 21);"), "42");
  EXPECT_NE(Errors([&] { Run("execute_file(\"none.txt\");"); }).find("Trying to execute non-existing file."),
            std::string::npos);
  Spit("bad.txt", "return (");
  EXPECT_EQ(Errors([&] { Run("execute_file(\"bad.txt\");"); }).rfind("COMPILATION ERROR in file to be executed\r", 0),
            0u);
}

TEST_F(Misc, ExecuteStringCompilesEachTextOnce) {
  const long long before = ExecuteCompilations();
  CCode loop("var i; for (i = 0; i < 100000; i += 1) execute_string(\"global.n += 1\"); return global.n;", false);
  ASSERT_TRUE(loop.Compile());
  Run("global.n = 0;");
  SimpleInstanceList().list = {&inst};
  RValue r;
  const auto t0 = std::chrono::steady_clock::now();
  ASSERT_TRUE(ExecuteCode(&inst, &inst, &loop, r));
  const double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count();
  SimpleInstanceList().list.clear();
  EXPECT_EQ(r.val, 100000);
  EXPECT_EQ(ExecuteCompilations() - before, 1);
  std::printf("execute_string of one short text: %.3f us per call (100000 calls)\n", us / 100000);
}

TEST_F(Misc, VariablesByName) {
  EXPECT_EQ(Run("return variable_global_exists(\"never_seen_name_q\");"), "0");
  EXPECT_EQ(Run("variable_global_set(\"never_seen_name_q\", 4); return variable_global_exists(\"never_seen_name_q\") "
                "* 10 + global.never_seen_name_q;"),
            "14");
  EXPECT_EQ(Run("variable_global_array_set(\"ga\", 3, \"three\"); return global.ga[3];"), "three");
  EXPECT_EQ(Run("global.gb[2, 5] = 9; return variable_global_array2_get(\"gb\", 2, 5);"), "9");
  EXPECT_EQ(Run("return variable_global_get(\"not_there_at_all\");"), "0");
  for (const char* code : {"variable_global_array_get(\"ga\", 32000)", "variable_global_array_get(\"ga\", -1)",
                           "variable_local_array2_set(\"la\", 0, 32000, 1)", "variable_global_array2_get(\"ga\", -1, 0)"})
    EXPECT_NE(Errors([&] { Run(code); }).find("Array index >= 32000"), std::string::npos) << code;

  inst.i_x = 0;
  EXPECT_EQ(Run("variable_local_set(\"x\", 10); return x;"), "10");
  EXPECT_EQ(inst.i_x, 10);
  EXPECT_EQ(Run("return variable_local_exists(\"x\") * 10 + variable_local_exists(\"my_local_never\");"), "10");
  EXPECT_EQ(Run("my_local_never = 3; return variable_local_exists(\"my_local_never\") + "
                "variable_local_get(\"my_local_never\");"),
            "4");
  EXPECT_EQ(Run("variable_local_array_set(\"la\", 2, 8); return la[2] + variable_local_array_get(\"la\", 2);"), "16");
}

TEST_F(Misc, ClipboardTitleAndPriority) {
  EXPECT_EQ(Run("clipboard_set_text(\"héllo\"); return string(clipboard_has_text()) + clipboard_get_text();"),
            "1héllo");
  EXPECT_EQ(Run("clipboard_set_text(\"\"); return clipboard_has_text();"), "0");
  Run("set_application_title(\"My Game\"); set_application_title(5);");
  EXPECT_EQ(ApplicationTitle, "My Game");
  Run("set_program_priority(-1);");
  EXPECT_EQ(::getpriority(PRIO_PROCESS, 0), 5);  // the thread's own nice value
}

TEST_F(Misc, SleepAndDesktopAnswers) {
  const auto t0 = std::chrono::steady_clock::now();
  Run("sleep(30); sleep(-5);");
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_GE(ms, 29);
  EXPECT_LT(ms, 1000);
  EXPECT_EQ(Run("return string(Velto_GetPlatform()) + string(Velto_GetDevice()) + Velto_GetDomain();"),
            "0-1unknown");
  EXPECT_EQ(Run("return Velto_GetTimer() + Velto_OpenURL(\"x\") + Velto_AddVirtualKey(1, 2, 3, 4, 5);"), "0");
}

}  // namespace
