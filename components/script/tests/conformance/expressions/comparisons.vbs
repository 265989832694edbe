' Comparisons between values of different types.
Dim n, s, t, e
n = 10 : s = "9" : t = "10"
' Two numbers compare as numbers, two strings as text (binary: "10" < "9").
WScript.Echo 10 > 9, "10" > "9", "abc" < "abd", "B" < "a", "a" < "ab"
' A number variable against a string variable: the number is the smaller.
WScript.Echo n > s, n < s, n = t
' A constant on one side: the other side is read the constant's way.
WScript.Echo s = 9, s < 10, n = "10", n > "9"
' Booleans are -1 and 0; Empty is 0 or "" as the other side needs.
WScript.Echo True = -1, False = 0, True < False
WScript.Echo e = 0, e = "", e < 1, e = False, IsEmpty(e)
' Dates compare as their numbers.
WScript.Echo #1/2/2024# > #1/1/2024#, #1/1/2024# = DateSerial(2024, 1, 1)
' Doubles, Currency and Integers mix.
WScript.Echo 0.1 + 0.2 = 0.3, CCur(0.1) + CCur(0.2) = CCur(0.3), 1 = 1.0, CSng(0.5) = 0.5
' Null makes every comparison Null.
WScript.Echo IsNull(Null = Null), IsNull(1 <> Null), IsNull("a" < Null)
' <> and <= and >=
WScript.Echo 1 <> 2, 2 <= 2, 3 >= 4, "a" <> "A"
