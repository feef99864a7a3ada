local w = 200
local function create()
  local g = {}
  for x = 0, w - 1 do local col = {}; for y = 0, w - 1 do col[y] = 0 end; g[x] = col end
  return g
end
local function clip(a, b, n) if a < 0 then a = 0 end; if b > n - 1 then b = n - 1 end; return a, b end
local g = create()
for x = 0, w - 1 do for y = 0, w - 1 do g[x][y] = x * y % 17 end end
local s = 0
for _ = 1, 20 do
  for x = 0, w - 1 do for y = 0, w - 1 do s = s + g[x][y] end end
end
local function add_region(g, x1, y1, x2, y2, v)
  for x = x1, x2 do local col = g[x]; for y = y1, y2 do col[y] = col[y] + v end end
end
local function mul_region(g, x1, y1, x2, y2, v)
  for x = x1, x2 do local col = g[x]; for y = y1, y2 do col[y] = col[y] * v end end
end
local function sum_region(g, x1, y1, x2, y2)
  local t = 0
  for x = x1, x2 do local col = g[x]; for y = y1, y2 do t = t + col[y] end end
  return t
end
local function max_region(g, x1, y1, x2, y2)
  local m = -100000000
  for x = x1, x2 do local col = g[x]; for y = y1, y2 do if col[y] >= m then m = col[y] end end end
  return m
end
for _ = 1, 150 do
  add_region(g, 10, 10, 150, 150, 1)
  mul_region(g, 50, 50, 60, 60, -1)
  s = s + (sum_region(g, 0, 0, w - 1, w - 1) + max_region(g, 20, 20, 120, 120))
end
local h = create()
local function disk(g, xm, ym, r, f)
  local x1, x2 = clip(math.floor(xm - r), math.ceil(xm + r), w)
  local y1, y2 = clip(math.floor(ym - r), math.ceil(ym + r), w)
  for x = x1, x2 do for y = y1, y2 do
    if (x - xm) * (x - xm) + (y - ym) * (y - ym) <= r * r then f(x, y) end
  end end
end
for _ = 1, 40 do
  for x = w - 2, 0, -1 do for y = w - 2, 0, -1 do h[x + 1][y + 1] = g[x][y] end end
  disk(h, 100, 100, 40, function(x, y) h[x][y] = h[x][y] + 3 end)
  local t = 0
  disk(h, 100, 100, 60, function(x, y) t = t + h[x][y] end)
  s = s + t
end
print(string.format("%d", s))
