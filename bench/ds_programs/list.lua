local n = 20000
local l = {}
for i = 0, n - 1 do l[#l + 1] = (i * 7919) % 10007 end
local s = 0
for _ = 1, 5 do
  for i = 0, n - 1 do s = s + l[i + 1] end
end
table.sort(l)
local function find_index(t, v)
  for i = 1, #t do if t[i] == v then return i - 1 end end
  return -1
end
for i = 0, 59 do s = s + find_index(l, i * 13) end
for i = 0, 1999 do table.insert(l, i + 1, i) end
for _ = 0, 1999 do table.remove(l, 1) end
for i = 0, n - 1 do l[i + 1] = l[i + 1] + 1 end
s = s + #l + l[1] + l[n]
print(string.format("%d", s))
