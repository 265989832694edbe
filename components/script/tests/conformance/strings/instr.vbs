' InStr and InStrRev with start positions and compare modes.
WScript.Echo InStr("abcabc", "c"), InStr(4, "abcabc", "c"), InStr(7, "abcabc", "c"), InStr(6, "abcabc", "c")
WScript.Echo InStr("abc", ""), InStr(2, "abc", ""), InStr("", "a"), InStr("abc", "abcd")
WScript.Echo InStr("ABC", "b"), InStr(1, "ABC", "b", 1), InStr(1, "ABC", "b", vbBinaryCompare), InStr(1, "ABC", "b", vbTextCompare)
WScript.Echo InStr(1, "aaa", "aa"), InStr(2, "aaa", "aa"), InStr(3, "aaa", "aa"), InStr(12345, 3)
WScript.Echo InStr(2.5, "abcabc", "b"), TypeName(InStr("a", "a"))
WScript.Echo InStrRev("abcabc", "c"), InStrRev("abcabc", "c", 5), InStrRev("abcabc", "abc"), InStrRev("abcabc", "x")
WScript.Echo InStrRev("ABC", "b", -1, 1), InStrRev("ABC", "b"), InStrRev("abc", "c", 10), InStrRev("abcabc", "bc", 5)
WScript.Echo InStrRev("abcabc", "a", 1), InStrRev("abcabc", "b", 1), TypeName(InStrRev("a", "a"))
On Error Resume Next
Dim r
r = InStr(0, "abc", "a") : WScript.Echo "InStr start 0:", Err.Number : Err.Clear
r = InStr("abc", "b", 1) : WScript.Echo "three arguments start with the position:", Err.Number : Err.Clear
r = InStrRev("abc", "a", 0) : WScript.Echo "InStrRev start 0:", Err.Number : Err.Clear
r = InStr(Null, "abc", "a") : WScript.Echo "InStr start Null:", Err.Number : Err.Clear
