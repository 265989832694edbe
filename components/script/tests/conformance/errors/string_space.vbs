' Texts beyond a quarter of a billion characters are refused before memory runs out.
On Error Resume Next
Dim s
s = Space(268435457) : WScript.Echo "Space:", Err.Number, Err.Description : Err.Clear
s = String(300000000, "x") : WScript.Echo "String:", Err.Number, Err.Description : Err.Clear
s = Space(1000) : WScript.Echo "small ones are fine:", Len(s), Err.Number
