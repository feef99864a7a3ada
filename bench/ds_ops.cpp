// Micro-benchmark of the data structure classes themselves (no interpreter):
// map inserts and lookups, list appends, searches and sorting, grid regions.
// Prints the CPU time of each part in milliseconds (CPU time, so that other
// load on the machine disturbs the numbers less).
#include <ctime>
#include <cstdlib>
#include <cstdio>
#include <string>

#include "library/Function_Math.h"
#include "library/Support_Data_Structures.h"

namespace {
double CpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}
template <typename F>
double Time(F&& f) {
  double t0 = CpuMs();
  f();
  return CpuMs() - t0;
}
}  // namespace

int main(int argc, char** argv) {
  int n = argc > 1 ? std::atoi(argv[1]) : 20000;
  double sink = 0;
  RandomSetSeed(1);

  CDS_Map map;
  double t_insert = Time([&] {
    for (int i = 0; i < n; ++i) map.Add(RValue(static_cast<double>(RandomInt(n * 4))), RValue(static_cast<double>(i)));
  });
  double t_lookup = Time([&] {
    for (int r = 0; r < 5; ++r)
      for (int i = 0; i < n; ++i) sink += map.FindValue(RValue(static_cast<double>(i))).val;
  });
  CDS_Map smap;
  double t_sinsert = Time([&] {
    for (int i = 0; i < n; ++i) smap.Add(RValue("key" + std::to_string(RandomInt(n * 4))), RValue(static_cast<double>(i)));
  });
  double t_slookup = Time([&] {
    for (int i = 0; i < n; ++i) sink += smap.Exists(RValue("key" + std::to_string(i)));
  });

  CDS_List list;
  double t_list = Time([&] {
    for (int i = 0; i < n; ++i) list.Add(RValue(static_cast<double>(RandomInt(1000000))));
    for (int i = 0; i < 200; ++i) sink += list.FindIndex(RValue(static_cast<double>(i)));
  });
  double t_sort = Time([&] { list.Sort(true); });

  CDS_Grid grid;
  grid.Resize(256, 256);
  double t_grid = Time([&] {
    for (int r = 0; r < 50; ++r) {
      grid.ApplyRegion(r, r, 200, 200, RValue(1.0), CDS_Grid::kAdd);
      grid.ApplyDisk(128, 128, 60, RValue(2.0), CDS_Grid::kMultiply);
      sink += grid.RegionStat(0, 0, 255, 255, CDS_Grid::kSum);
    }
  });
  std::printf("n=%d  map real insert %.1f ms, lookup x5 %.1f ms; map string insert %.1f ms, lookup %.1f ms\n", n,
              t_insert, t_lookup, t_sinsert, t_slookup);
  std::printf("list add+find %.1f ms, sort (insertion) %.1f ms; grid regions %.1f ms  (sink %g)\n", t_list, t_sort,
              t_grid, sink);
  return 0;
}
