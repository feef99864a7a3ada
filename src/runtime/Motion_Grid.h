#pragma once
// Planning grids: rectangular cells that are free or forbidden, the table
// of grids by id, and the breadth-first search for a shortest cell path.
#include <cstdint>
#include <memory>
#include <vector>

class CPath;

class CGrid {
 public:
  // Grids above this many cells are refused: memory stays bounded whatever
  // counts a game asks for.
  static constexpr int64_t kMaxCells = int64_t(1) << 24;

  int i_left = 0, i_top = 0;
  int i_cellw = 1, i_cellh = 1;
  int i_hcells = 0, i_vcells = 0;
  // Cell (i, j) at j + i * i_vcells: -1 forbidden, 0 free, above 0 the
  // distance mark of a search in progress.
  std::vector<int> i_cells;

  CGrid(int left, int top, int hcells, int vcells, int cellw, int cellh);

  bool InGrid(int i, int j) const { return i >= 0 && j >= 0 && i < i_hcells && j < i_vcells; }
  int& Cell(int i, int j) { return i_cells[size_t(j) + size_t(i) * size_t(i_vcells)]; }
  int Cell(int i, int j) const { return i_cells[size_t(j) + size_t(i) * size_t(i_vcells)]; }
  void SetCell(int i, int j, int v) {
    if (InGrid(i, j)) Cell(i, j) = v;
  }
  void ClearAll();
  // Every cell the room rectangle reaches becomes v (0 or -1).
  void SetRectangle(double x1, double y1, double x2, double y2, int v);
  // The cell holding a room point; false outside the grid.
  bool CellAt(double x, double y, int& i, int& j) const;

  // The shortest path over free cells from the start to the goal point,
  // written into path (straight, open: start point, cell centres, goal
  // point). False (path untouched) when start or goal lies outside the grid
  // or on a forbidden cell, or no path exists.
  bool FindPath(CPath& path, double xs, double ys, double xg, double yg, bool allowdiag);
};

// The grid table: ids are indices; a new grid takes the first empty entry.
int GridCreate(int left, int top, int hcells, int vcells, int cellw, int cellh);
void GridDestroy(int id);
CGrid* GetGrid(int id);
void ClearGrids();
