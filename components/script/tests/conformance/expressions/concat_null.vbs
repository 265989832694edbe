' & turns both sides into text; Null and Empty count as empty text, Null & Null stays Null.
Dim e
WScript.Echo "a" & Null & "b", TypeName("a" & Null), TypeName(Null & Null)
WScript.Echo "[" & e & "]", TypeName(e & e), Len(e & e)
WScript.Echo 1 & 2, TypeName(1 & 2), 1.5 & "", True & "", #1/2/2003# & ""
WScript.Echo "x" & CCur(2.5), -3 & "", 1E+20 & "", 0.0001 & ""
' + joins two strings, adds otherwise; a string that reads as a number is added as one.
WScript.Echo "1" + "2", "1" + 2, TypeName("1" + 2), 1 + "2.5"
WScript.Echo "a" + Empty, TypeName(Empty + Empty), IsNull("a" + Null)
