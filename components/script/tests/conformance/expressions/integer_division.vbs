' \ and Mod round their operands to whole numbers first (half to even), then truncate.
WScript.Echo 7 \ 2, -7 \ 2, 7 \ -2, -7 \ -2
WScript.Echo 7 Mod 3, -7 Mod 3, 7 Mod -3, -7 Mod -3
WScript.Echo 7.5 \ 2, 6.5 \ 2, 2.5 \ 1, 3.5 \ 1
WScript.Echo 5.5 Mod 2, 4.5 Mod 2, 10 Mod 2.5, 10 Mod 3.5
WScript.Echo 0.4 \ 1, 0.5 \ 1, 0.6 \ 1, 1.5 \ 1
WScript.Echo "17" \ "5", "17" Mod 5
' Types: Integer for small operands, Long once a Long or a fractional number is involved.
WScript.Echo TypeName(7 \ 2), TypeName(7 Mod 2), TypeName(100000 \ 2), TypeName(7.5 \ 2)
WScript.Echo TypeName(7.5 Mod 2), TypeName(CByte(7) \ CByte(2)), TypeName(True \ 1)
WScript.Echo 100000 \ 3, 100000 Mod 7
' / always gives a Double.
WScript.Echo 6 / 3, TypeName(6 / 3), 1 / 4, 7 / 2
' Null passes through.
WScript.Echo IsNull(Null \ 2), IsNull(5 Mod Null), IsNull(Null / 1)
' Empty counts as 0.
WScript.Echo Empty \ 5, Empty Mod 5
