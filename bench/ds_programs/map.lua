local n = 5000
local m = {}
for i = 0, n - 1 do m["k" .. i] = i end
local s = 0
for _ = 1, 100 do
  for i = 0, n - 1 do s = s + (m["k" .. i] or 0) end
end
for i = 0, n - 1, 2 do m["k" .. i] = nil end
for i = 0, n - 1 do if m["k" .. i] ~= nil then s = s + 1 end end
-- numeric keys go to a second table: the map of the other side keeps
-- duplicates, so the first value added for a key is the one found.
local num = {}
for i = 0, n - 1 do
  local key = i * 7 % 4999
  if num[key] == nil then num[key] = i end
end
for _ = 1, 100 do
  for i = 0, n - 1 do s = s + (num[i] or 0) end
end
-- walk the keys in ascending order, as find_first / find_next do
local keys = {}
for k in pairs(m) do keys[#keys + 1] = k end
for k in pairs(num) do keys[#keys + 1] = k end
table.sort(keys, function(a, b)
  local ta, tb = type(a), type(b)
  if ta ~= tb then return ta == "number" end
  return a < b
end)
local r = 0
for _ = 1, #keys + (n - 4999) do r = r + 1 end
print(string.format("%d", s + r))
