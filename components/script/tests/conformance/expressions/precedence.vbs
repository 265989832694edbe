' Operator precedence, highest first: ^, unary -, * /, \, Mod, + -, &, comparisons, Not, And,
' Or, Xor, Eqv, Imp.
WScript.Echo 2 + 3 * 4, (2 + 3) * 4
WScript.Echo 2 ^ 3 ^ 2, 2 ^ 3 * 2
WScript.Echo -2 ^ 2, 2 ^ -1, -2 ^ -2
WScript.Echo 10 - 4 - 3, 100 / 10 / 5
WScript.Echo 7 \ 2 * 2, 7 Mod 4 \ 2, 1 + 7 Mod 3, 10 Mod 3 * 2
WScript.Echo 9 \ 2 \ 2, 27 Mod 10 Mod 4
WScript.Echo "a" & 1 + 2, 1 + 2 & 3, "1" + "2" & 3
WScript.Echo 1 < 2 = True, 3 > 2 > 1
WScript.Echo Not 1 = 2, Not 0 + 1
WScript.Echo True Or False And False, True Xor True Or True
WScript.Echo False Eqv False Xor True, True Imp False Eqv False
WScript.Echo 5 - -3, 2 * -3, - -4
Dim x : x = 3
WScript.Echo -x ^ 2, (-x) ^ 2
WScript.Echo 1 + 2 = 3 And 2 * 2 = 4
WScript.Echo Not True And False, Not (True And False)
