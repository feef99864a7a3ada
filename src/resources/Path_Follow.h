#pragma once
// How an instance follows a path: the path fields an instance keeps and the
// two steps of following (start, and one step of motion). The instance's
// Assign_Path and Adapt_Path are built on these; they own the position
// changes (SetPosition, hspeed and vspeed).

struct RPathFollow {
  int i_pathindex = -1;
  double i_pathposition = 0;
  double i_pathpositionprevious = 0;
  double i_pathspeed = 0;
  double i_pathscale = 1;
  double i_pathorientation = 0;
  int i_pathend = 0;  // 0 stop, 1 restart, 2 continue, 3 reverse
  double i_pathxstart = 0;
  double i_pathystart = 0;
};

// Starts following path (or stops, for a negative path). x and y are the
// instance's position; when the path is followed absolutely they are moved
// to the path's start point.
void PathAssign(RPathFollow& f, int path, bool relative, int endaction, double orientation, double scale,
                double speed, double& x, double& y);

struct RPathStep {
  bool moved = false;  // nx, ny hold the new position
  bool ended = false;  // the end of the path was reached in this step
  double nx = 0, ny = 0;
};
// One step along the path from the current position.
RPathStep PathAdapt(RPathFollow& f);
