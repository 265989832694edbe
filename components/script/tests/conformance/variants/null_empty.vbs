' Null spreads through expressions and functions; Empty is 0 or "" as needed.
Dim e, n
n = Null
WScript.Echo IsNull(n + 1), IsNull(n * 0), IsNull(-n), IsNull(n & n), IsNull(n = n)
WScript.Echo IsNull(Len(n)), IsNull(UCase(n)), IsNull(Left(n, 1)), IsNull(Mid(n, 1))
WScript.Echo IsNull(Abs(n)), IsNull(Int(n)), IsNull(Fix(n)), IsNull(Trim(n))
WScript.Echo IsNull(Year(n)), IsNull(Round(n)), IsNull(InStrRev(n, "a"))
WScript.Echo IsNull(InStr(n, "a")), IsNull(InStr("a", n))
WScript.Echo "text" & n & "", Len("text" & n)
WScript.Echo TypeName(Array(n)(0)), Join(Array("a", e, "b"), "-")

' Functions that need a value refuse Null with error 94.
On Error Resume Next
Dim r
r = CStr(n) : WScript.Echo "CStr", Err.Number : Err.Clear
r = CInt(n) : WScript.Echo "CInt", Err.Number : Err.Clear
r = CLng(n) : WScript.Echo "CLng", Err.Number : Err.Clear
r = CDbl(n) : WScript.Echo "CDbl", Err.Number : Err.Clear
r = CBool(n) : WScript.Echo "CBool", Err.Number : Err.Clear
r = Chr(n) : WScript.Echo "Chr", Err.Number : Err.Clear
r = Space(n) : WScript.Echo "Space", Err.Number : Err.Clear
r = Replace(n, "a", "b") : WScript.Echo "Replace", Err.Number : Err.Clear
r = StrReverse(n) : WScript.Echo "StrReverse", Err.Number : Err.Clear
On Error GoTo 0

' Empty in arithmetic, text and tests.
WScript.Echo e + 1, e - 1, e * 5, "[" & e & "]", Len(e), UCase(e) = ""
WScript.Echo CStr(e) = "", CInt(e), CDbl(e), CBool(e), Not e, TypeName(Not e)
WScript.Echo e = 0, e = "", IsEmpty(e), IsNull(e), VarType(e)
e = 1
e = Empty
WScript.Echo IsEmpty(e)
