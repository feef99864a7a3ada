// Planning grids, their table, and the breadth-first cell search.
#include "runtime/Motion_Grid.h"

#include <algorithm>
#include <cmath>
#include <deque>

#include "resources/Path_Class.h"

namespace {
std::vector<std::unique_ptr<CGrid>> g_grids;

// A room coordinate's cell index (division truncating towards zero) as a
// clamped int, or nothing for NaN.
bool CellIndex(double v, int origin, int size, int64_t& out) {
  const double q = std::trunc((v - origin) / size);
  if (std::isnan(q)) return false;
  out = int64_t(std::clamp(q, -4e9, 4e9));
  return true;
}
}  // namespace

CGrid::CGrid(int left, int top, int hcells, int vcells, int cellw, int cellh)
    : i_left(left), i_top(top), i_cellw(cellw), i_cellh(cellh), i_hcells(hcells), i_vcells(vcells) {
  i_cells.assign(size_t(hcells) * size_t(vcells), 0);
}

void CGrid::ClearAll() { std::fill(i_cells.begin(), i_cells.end(), 0); }

void CGrid::SetRectangle(double x1, double y1, double x2, double y2, int v) {
  int64_t c0, c1, r0, r1;
  if (!CellIndex(std::min(x1, x2), i_left, i_cellw, c0) || !CellIndex(std::max(x1, x2), i_left, i_cellw, c1) ||
      !CellIndex(std::min(y1, y2), i_top, i_cellh, r0) || !CellIndex(std::max(y1, y2), i_top, i_cellh, r1))
    return;
  c0 = std::max<int64_t>(c0, 0);
  r0 = std::max<int64_t>(r0, 0);
  c1 = std::min<int64_t>(c1, i_hcells - 1);
  r1 = std::min<int64_t>(r1, i_vcells - 1);
  for (int64_t i = c0; i <= c1; ++i)
    for (int64_t j = r0; j <= r1; ++j) Cell(int(i), int(j)) = v;
}

bool CGrid::CellAt(double x, double y, int& i, int& j) const {
  if (!(x >= i_left && x < i_left + double(i_hcells) * i_cellw && y >= i_top && y < i_top + double(i_vcells) * i_cellh))
    return false;
  i = int((x - i_left) / i_cellw);
  j = int((y - i_top) / i_cellh);
  return InGrid(i, j);
}

bool CGrid::FindPath(CPath& path, double xs, double ys, double xg, double yg, bool allowdiag) {
  int si, sj, gi, gj;
  if (!CellAt(xs, ys, si, sj) || !CellAt(xg, yg, gi, gj)) return false;
  if (Cell(si, sj) < 0 || Cell(gi, gj) < 0) return false;
  auto free0 = [&](int i, int j) { return InGrid(i, j) && Cell(i, j) == 0; };
  std::deque<std::pair<int, int>> queue;
  Cell(si, sj) = 1;
  queue.emplace_back(si, sj);
  bool found = false;
  while (!queue.empty()) {
    const auto [wi, wj] = queue.front();
    queue.pop_front();
    if (wi == gi && wj == gj) {
      found = true;
      break;
    }
    const int c = Cell(wi, wj) + 1;
    // The neighbours' state before any of them is marked decides the
    // diagonals: no corner is cut past a forbidden or taken cell.
    const bool l = free0(wi - 1, wj), r = free0(wi + 1, wj), u = free0(wi, wj - 1), d = free0(wi, wj + 1);
    auto take = [&](int i, int j) {
      Cell(i, j) = c;
      queue.emplace_back(i, j);
    };
    if (l) take(wi - 1, wj);
    if (r) take(wi + 1, wj);
    if (u) take(wi, wj - 1);
    if (d) take(wi, wj + 1);
    if (allowdiag) {
      if (free0(wi - 1, wj + 1) && l && d) take(wi - 1, wj + 1);
      if (free0(wi - 1, wj - 1) && l && u) take(wi - 1, wj - 1);
      if (free0(wi + 1, wj + 1) && r && d) take(wi + 1, wj + 1);
      if (free0(wi + 1, wj - 1) && r && u) take(wi + 1, wj - 1);
    }
  }
  if (found) {
    std::vector<RWayPoint> pts;
    pts.push_back({xg, yg, 100});
    int ci = gi, cj = gj;
    static constexpr int kSteps[8][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}, {-1, 1}, {1, 1}, {-1, -1}, {1, -1}};
    while (!(ci == si && cj == sj)) {
      const int want = Cell(ci, cj) - 1;
      bool moved = false;
      for (int k = 0; k < (allowdiag ? 8 : 4) && !moved; ++k) {
        const int ni = ci + kSteps[k][0], nj = cj + kSteps[k][1];
        if (InGrid(ni, nj) && Cell(ni, nj) == want) {
          ci = ni;
          cj = nj;
          moved = true;
        }
      }
      if (!moved) break;  // cannot happen: every mark above 1 has a parent
      if (!(ci == si && cj == sj))
        pts.push_back({i_left + double(ci) * i_cellw + i_cellw / 2, i_top + double(cj) * i_cellh + i_cellh / 2, 100});
    }
    pts.push_back({xs, ys, 100});
    std::reverse(pts.begin(), pts.end());
    path.Clear();
    path.i_kind = 0;
    path.i_closed = false;
    path.i_points = std::move(pts);
    path.i_count = int(path.i_points.size());
    path.ComputeInternal();
  }
  for (int& v : i_cells)
    if (v > 0) v = 0;
  return found;
}

int GridCreate(int left, int top, int hcells, int vcells, int cellw, int cellh) {
  auto grid = std::make_unique<CGrid>(left, top, hcells, vcells, cellw, cellh);
  for (size_t k = 0; k < g_grids.size(); ++k)
    if (!g_grids[k]) {
      g_grids[k] = std::move(grid);
      return int(k);
    }
  g_grids.push_back(std::move(grid));
  return int(g_grids.size()) - 1;
}

void GridDestroy(int id) {
  if (id >= 0 && size_t(id) < g_grids.size()) g_grids[size_t(id)].reset();
}

CGrid* GetGrid(int id) { return id >= 0 && size_t(id) < g_grids.size() ? g_grids[size_t(id)].get() : nullptr; }

void ClearGrids() { g_grids.clear(); }
