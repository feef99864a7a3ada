local function add2(a, b) return a + b end
local s = 0
for i = 0, 5000000 - 1 do s = add2(s, i) end
print(s)
