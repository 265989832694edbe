Dim t
t = UCase(Mid("hello world", 1, 5)) & Replace("a,b", ",", ";")
Do While InStr(t, "L") > 0
  t = Replace(t, "L", "l", 1, 1)
Loop
