local arr = {}
for i = 0, 1000 - 1 do arr[i] = 0 end
local s = 0
for i = 0, 3000000 - 1 do
  arr[i % 1000] = arr[i % 1000] + i
  s = s + arr[(i * 7) % 1000]
end
print(s)
