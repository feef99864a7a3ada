#pragma once
// Built-in functions of collisions: shape queries, place and position tests,
// instance searches, moving to contact or outside, and bouncing. The free
// tests are shared with the motion planners.
class CInstance;
struct RFunctionLibrary;
extern const RFunctionLibrary kLibrary_Collision;

// Whether self placed at (x, y) meets no solid instance (PlaceFree), no
// instance at all (PlaceEmpty), or no instance named by obj (PlaceMeeting
// is its opposite; obj as the object argument of place_meeting, with
// other for -2). Self returns to where it was.
bool PlaceFree(CInstance* self, double x, double y);
bool PlaceEmpty(CInstance* self, double x, double y);
bool PlaceMeeting(CInstance* self, CInstance* other, double x, double y, int obj);
