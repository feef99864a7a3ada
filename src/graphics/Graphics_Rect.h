#pragma once
// Integer rectangles with inclusive edges (bounding boxes, picture parts).

// An inclusive integer rectangle.
struct TRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const TRect&) const = default;
};
