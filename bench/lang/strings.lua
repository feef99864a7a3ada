local t = 0
for i = 0, 50000 - 1 do
  local s = ""
  for k = 1, 50 do s = s .. "ab" end
  if s == "abab" then t = t + 1 end
  t = t + 1
end
print(t)
