local function mix5(a, b, c, d, e) return a + b * c - d + e end
local s = 0
for i = 0, 5000000 - 1 do s = mix5(s, i, 3, 2, 1) end
print(s)
