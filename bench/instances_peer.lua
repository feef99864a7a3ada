-- Lua peer of the instances benchmark (bench/instances.sh): 10,000 tables
-- holding the fields of bench/instances_game's movers, each stepped through a
-- method found in its class table, running the same four statements.
--
--   lua5.4 bench/instances_peer.lua STEPS
--
-- Prints the count and the sums of x, y, laps and energy after STEPS steps,
-- in the form the game prints them, so the script can check both did the same
-- work. The script times it from outside like the game (STEPS minus 1 step).
local steps = tonumber(arg[1]) or 1

-- The room, read through a table as the game reads room_width.
local room = { width = 640, height = 480 }

-- The object: the class table the instances find their step method in.
local Mover = {}
Mover.__index = Mover

function Mover.new(x, y)
  -- The same fields the create event sets, plus the position.
  local self = setmetatable({ x = x, y = y }, Mover)
  self.dx = (x % 7) - 3.25
  self.base_y = self.y
  self.laps = 0
  self.energy = 0
  return self
end

function Mover:step()
  self.x = self.x + self.dx
  if self.x >= room.width then
    self.x = self.x - room.width; self.laps = self.laps + 1
  elseif self.x < 0 then
    self.x = self.x + room.width; self.laps = self.laps + 1
  end
  self.energy = self.energy * 0.9 + self.dx * self.dx
  self.y = self.base_y + self.energy * 0.01
end

-- The room's creation code: instances in creation order.
local instances = {}
for i = 0, 9999 do
  instances[#instances + 1] = Mover.new((i * 37) % 640, (i * 13) % 480)
end

-- The step: every instance, in room order, through its class's method.
for _ = 1, steps do
  for n = 1, #instances do
    local inst = instances[n]
    inst:step()
  end
end

local n, sx, sy, sl, se = 0, 0, 0, 0, 0
for _, inst in ipairs(instances) do
  n = n + 1
  sx = sx + inst.x; sy = sy + inst.y; sl = sl + inst.laps; se = se + inst.energy
end
print(string.format("%d %.6f %.6f %.6f %.6f", n, sx, sy, sl, se))
