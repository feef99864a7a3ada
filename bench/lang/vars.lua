local self = {}
local a, b = 0, 0
self.x = 0; self.y = 0
for i = 0, 3000000 - 1 do
  a = a + 1
  self.x = self.x + a
  self.y = self.x - b
  b = self.y - a
end
print(self.x + self.y + b)
