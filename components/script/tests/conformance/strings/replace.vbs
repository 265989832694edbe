' Replace with start, count and compare mode.
WScript.Echo Replace("a-b-c", "-", "+"), Replace("aaaa", "a", "b", 1, 2), Replace("aaaa", "a", "b", 2)
WScript.Echo Replace("abcabc", "b", "X", 3, 1), "[" & Replace("abc", "a", "x", 5) & "]", Replace("abc", "", "x")
WScript.Echo Replace("a-b", "-", ""), Replace("abc", "b", "x", 1, 0), Replace("abcb", "b", "x", 1, -1)
WScript.Echo Replace("aAaA", "a", "x"), Replace("aAaA", "a", "x", 1, -1, 1), Replace("aAaA", "A", "x", 1, -1, vbTextCompare)
WScript.Echo Replace("aaa", "aa", "b"), Replace("abab", "ab", "abab"), Replace(12321, 2, 9), TypeName(Replace(1, 1, 2))
WScript.Echo Replace("x", "x", "y", 1, 5), Replace("a.b.c", ".", vbNullString), "[" & Replace("", "a", "b") & "]"
On Error Resume Next
Dim r
r = Replace("abc", "a", "b", 0) : WScript.Echo "start 0:", Err.Number : Err.Clear
r = Replace("abc", "a", "b", 1, -2) : WScript.Echo "count -2:", Err.Number : Err.Clear
r = Replace(Null, "a", "b") : WScript.Echo "Null text:", Err.Number : Err.Clear
