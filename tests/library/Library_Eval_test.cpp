// End-to-end: snippets of the game's language run by `roomrun --eval`, using
// the math, string and data structure functions.
#include <gtest/gtest.h>

#include "../Test_Process.h"
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

struct EvalResult {
  int status = -1;
  std::string out;  // stdout and stderr together
};

EvalResult RunEval(const std::string& code) {
  char path[] = "/tmp/rr_lib_evalXXXXXX";
  int fd = mkstemp(path);
  EvalResult r;
  if (fd < 0) return r;
  close(fd);
  std::ofstream(path) << code;
  std::string cmd = std::string(ROOMRUN_BIN_DIR) + "/roomrun --eval " + path + " 2>&1";
  const testproc::ROutput run = testproc::Capture(cmd);
  r.status = run.status;
  r.out = run.out;
  unlink(path);
  while (!r.out.empty() && (r.out.back() == '\n' || r.out.back() == '\r')) r.out.pop_back();
  return r;
}

bool EvalAvailable() {
  std::string cmd = std::string(ROOMRUN_BIN_DIR) + "/roomrun --help 2>&1";
  const std::string text = testproc::Capture(cmd).out;
  return text.find("--eval") != std::string::npos;
}

}  // namespace

TEST(LibraryEval, SnippetsGiveTheirValues) {
  if (!EvalAvailable()) GTEST_SKIP() << "this roomrun has no --eval";
  struct Case {
    const char* code;
    const char* printed;
  };
  const Case cases[] = {
      {"return string(5.5) + \"|\" + string(-0.25) + \"|\" + string(12);", "\"5.50|-0.25|12\""},
      {"return string_format(3.14159, 8, 3);", "\"   3.142\""},
      {"return round(2.5) * 100 + round(3.5) * 10 + floor(-0.5);", "239"},
      {"return string_pos(\"x\", \"\xF0\x9F\x98\x80x\") * 10 + string_length(\"\xC3\xA9" "a\");", "32"},
      {"return string_copy(\"hello\", 0, 2) + string_delete(\"hello\", 0, 2);", "\"hehello\""},
      {"return real(\" 1.5e3 \") + power(2, 10) + median(1, 2, 3, 4);", "2526"},
      {"return min(\"b\", \"a\") + string(max(3, 1, 2));", "\"a3\""},
      {"random_set_seed(0); return irandom(9);", "0"},
      {"var a, b; random_set_seed(77); a = random(1000); random_set_seed(77); b = random(1000); return a == b;", "1"},
      {"return point_direction(0, 0, 10, -10) + lengthdir_y(10, 90);", "35"},
      {"var l; l = ds_list_create(); ds_list_add(l, 3); ds_list_add(l, \"a\"); ds_list_add(l, 1);"
       " ds_list_sort(l, true); return string(ds_list_find_value(l, 0)) + ds_list_find_value(l, 2);",
       "\"1a\""},
      {"var m, n; m = ds_map_create(); ds_map_add(m, \"k\", 7); ds_map_add(m, 2, \"two\");"
       " n = ds_map_create(); ds_map_read(n, ds_map_write(m));"
       " return string(ds_map_find_value(n, \"k\")) + ds_map_find_value(n, 2) + string(ds_map_size(n));",
       "\"7two2\""},
      {"var s; s = ds_stack_create(); ds_stack_push(s, 1); ds_stack_push(s, \"a\"); return ds_stack_write(s);",
       "\"650000000200000000000000000000000000F03F000000000100000000000000000000000100000061\""},
      {"var q, i; q = ds_queue_create(); for (i = 0; i < 20; i += 1) ds_queue_enqueue(q, i);"
       " repeat (17) ds_queue_dequeue(q); return ds_queue_head(q) * 100 + ds_queue_size(q);",
       "1703"},
      {"var g; g = ds_grid_create(4, 4); ds_grid_set_region(g, 0, 0, 3, 3, 2); ds_grid_add_disk(g, 1, 1, 1, 1);"
       " return ds_grid_get_sum(g, 0, 0, 3, 3) * 10 + ds_grid_value_x(g, 0, 0, 3, 3, 3);",
       "370"},
      {"var p; p = ds_priority_create(); ds_priority_add(p, \"lo\", 1); ds_priority_add(p, \"hi\", 9);"
       " return ds_priority_delete_max(p) + ds_priority_find_min(p);",
       "\"hilo\""},
  };
  for (const auto& c : cases) {
    EvalResult r = RunEval(c.code);
    EXPECT_EQ(r.status, 0) << c.code << "\n" << r.out;
    EXPECT_EQ(r.out, c.printed) << c.code;
  }
}

TEST(LibraryEval, ErrorsReachThePlayer) {
  if (!EvalAvailable()) GTEST_SKIP() << "this roomrun has no --eval";
  const std::pair<const char*, const char*> cases[] = {
      {"var s; s = ds_stack_create(); ds_stack_destroy(s); return ds_stack_pop(s);",
       "Data structure with index does not exist."},
      {"return sqrt(-4);", "Cannot apply sqrt to negative number."},
      {"return real(\"12abc\");", "Error in function real()."},
      {"var l; l = ds_list_create(); ds_list_read(l, \"ZZ\"); return ds_list_size(l);",
       "Data structure text is not valid."},
  };
  for (auto [code, message] : cases) {
    EvalResult r = RunEval(code);
    EXPECT_NE(r.out.find(message), std::string::npos) << code << "\n" << r.out;
  }
}
