' Left, Right, Mid and Len, including lengths beyond the end and non-text arguments.
WScript.Echo Mid("Printer", 3), Mid("Printer", 3, 2), "[" & Mid("abc", 4) & "]", "[" & Mid("abc", 5) & "]"
WScript.Echo Mid("abc", 2, 10), "[" & Mid("abc", 1, 0) & "]", Mid("abc", 3, 1), "[" & Mid("", 1) & "]"
WScript.Echo Mid(12345, 2, 2), Mid("abcdef", 1.6, 2.5), Mid(True, 2)
WScript.Echo "[" & Left("abc", 0) & "]", Left("abc", 10), Left(12.5, 2), Left("abcdef", 1.5)
WScript.Echo Right("abc", 2), Right("abc", 5), Right(True, 3), "[" & Right("abc", 0) & "]"
WScript.Echo Len(""), Len("abc"), Len(12.5), Len(True), Len(-7), Len(#1/15/2024#), TypeName(Len("a"))
WScript.Echo Len(String(1000, "x")), Len(Space(5) & "a")
On Error Resume Next
Dim r
r = Mid("abc", 0) : WScript.Echo "Mid start 0:", Err.Number : Err.Clear
r = Mid("abc", 1, -1) : WScript.Echo "Mid length -1:", Err.Number : Err.Clear
r = Left("abc", -1) : WScript.Echo "Left -1:", Err.Number : Err.Clear
r = Right("abc", -1) : WScript.Echo "Right -1:", Err.Number : Err.Clear
r = Left("abc", Null) : WScript.Echo "Left Null:", Err.Number : Err.Clear
r = Left("abc", "x") : WScript.Echo "Left ""x"":", Err.Number : Err.Clear
