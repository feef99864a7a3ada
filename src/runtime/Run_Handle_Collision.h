#pragma once
// The collision event phase of the step: the list of object pairs that have
// a collision event, and the pass over the instances of each pair with the
// solid rule (colliding solid instances are put back before their events).
#include <utility>
#include <vector>

// Rebuilt with the event index: every pair (a, b), a <= b, of existing
// objects where a has a collision event with b or b with a (inheritance
// counted on both sides), in order of a, then b.
void BuildCollisionPairs();
const std::vector<std::pair<int, int>>& CollisionPairs();

// Performs the collision events of the room being played. Instances are
// visited in the order of their objects' direct lists; a uniform grid over
// the second object's instances (kept current while events move them)
// only spares the tests of pairs whose boxes cannot meet.
void CollisionEvents();
