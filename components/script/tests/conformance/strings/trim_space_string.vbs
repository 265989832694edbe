' Trim and friends remove blanks only; Space and String build text.
WScript.Echo "[" & Trim("  a b  ") & "]", "[" & LTrim("  a ") & "]", "[" & RTrim(" a  ") & "]"
WScript.Echo Len(Trim(vbTab & "a" & vbTab)), Len(Trim(vbCrLf)), "[" & Trim("   ") & "]", Trim(12)
WScript.Echo "[" & Space(3) & "]", "[" & Space(0) & "]", Len(Space(2.5))
WScript.Echo String(3, "*"), String(3, "abc"), String(2, 65), "[" & String(0, "x") & "]", String(2, 321)
WScript.Echo StrReverse("abc"), "[" & StrReverse("") & "]", StrReverse(123), StrReverse("a b")
On Error Resume Next
Dim r
r = Space(-1) : WScript.Echo "Space(-1):", Err.Number : Err.Clear
r = String(-1, "x") : WScript.Echo "String(-1):", Err.Number : Err.Clear
r = String(3, "") : WScript.Echo "String of nothing:", Err.Number : Err.Clear
WScript.Echo IsNull(String(2, Null)), IsNull(Trim(Null))
