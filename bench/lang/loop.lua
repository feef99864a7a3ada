local s = 0
for i = 0, 3000000 - 1 do
  s = s + (i * 2 - 1)
end
print(s)
