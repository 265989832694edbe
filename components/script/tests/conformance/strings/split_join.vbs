' Split with delimiters, limits and compare modes; Join back.
Sub Show(parts)
    Dim i, s
    s = UBound(parts) & ":"
    For i = 0 To UBound(parts)
        s = s & "[" & parts(i) & "]"
    Next
    WScript.Echo s
End Sub
Show Split("a,b,,c", ",")
Show Split("a,b,c", ",", 2)
Show Split("a,b,c", ",", 1)
Show Split("a,b,c", ",", -1)
Show Split("a,b,c", ",", 10)
Show Split("abc")
Show Split("a b  c")
Show Split("", ",")
Show Split("abc", "")
Show Split("aXbxc", "x")
Show Split("aXbxc", "x", -1, 1)
Show Split(",a,", ",")
Show Split("a--b--c", "--")
Show Split(12.5, ".")
WScript.Echo LBound(Split("a")), UBound(Split(""))
WScript.Echo Join(Array(1, 2, 3)), Join(Array(1, 2, 3), ""), Join(Array(1, 2, 3), ", ")
WScript.Echo "[" & Join(Array()) & "]", Join(Split("a,b", ","), "|"), Join(Array("x"), "-")
WScript.Echo Join(Array(True, 1.5, Empty, "s"), "/")
Dim parts : parts = Split("k1=v1;k2=v2", ";")
WScript.Echo Split(parts(1), "=")(1)
On Error Resume Next
Dim r
r = Join("not an array") : WScript.Echo "Join of a string:", Err.Number : Err.Clear
r = Split(Null) : WScript.Echo "Split of Null:", Err.Number : Err.Clear
