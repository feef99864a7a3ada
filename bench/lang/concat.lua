-- The Lua idiom for building text from many pieces: a buffer and one concat.
local t = {}
for i = 0, 1000000 - 1 do t[#t + 1] = string.char(97 + i % 26) end
local s = table.concat(t)
local n = 0
for i = 1, 1000000, 99991 do n = n + string.byte(s, i) end
print(#s * 1000 + n)
