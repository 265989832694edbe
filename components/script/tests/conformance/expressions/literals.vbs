' Literals: integers, Longs, Doubles, hex and octal, dates, strings, keywords.
WScript.Echo 32767, TypeName(32767), TypeName(32768), TypeName(2147483647), TypeName(2147483648)
WScript.Echo TypeName(1.0), TypeName(1E3), 1E3, 1.5E-3, .5
WScript.Echo &HFFFF, TypeName(&HFFFF), &H7FFF, &H8000, &H10000, TypeName(&H10000)
WScript.Echo &HFFFFFFFF, &H7FFFFFFF, &h1f, &O17, &O177777
WScript.Echo TypeName(#1/15/2024#), #1/15/2024#, #2024-01-15#, #1/15/2024 3:04:05 PM#
WScript.Echo #13:30#, #1/15/2024 00:00#, CDbl(#12/30/1899#), CDbl(#1/1/1900#)
WScript.Echo "", """", "a""b", Len("tab	in")
WScript.Echo True, False, TypeName(Empty), TypeName(Null), TypeName(Nothing)
WScript.Echo VarType(True), CInt(True), CInt(False)
' Date literals may name the month, in English whatever the locale.
WScript.Echo #January 15, 2024#, #15-Jan-2024#, #Jan 15, 2024 3:00 PM#, TypeName(#March 5, 2024#)
