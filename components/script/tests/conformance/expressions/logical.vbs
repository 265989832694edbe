' And, Or, Not, Xor, Eqv, Imp: on Booleans, bit by bit on numbers, with Null as "unknown".
WScript.Echo True And False, True Or False, Not False, True Xor True
WScript.Echo False Eqv False, True Eqv False, True Imp False, False Imp False, False Imp True
WScript.Echo 12 And 10, 12 Or 10, 12 Xor 10, Not 12, 12 Eqv 10, 12 Imp 10
WScript.Echo TypeName(True And True), TypeName(1 And 1), TypeName(CByte(3) And CByte(1))
WScript.Echo TypeName(100000 Or 1), TypeName(True And 1)
WScript.Echo &HFF And &H0F, -1 And 255
' Null And False is False, Null Or True is True; anything else with Null is Null.
WScript.Echo Null And False, Null Or True, False And Null, True Or Null
WScript.Echo IsNull(Null And True), IsNull(Null Or False), IsNull(Not Null)
WScript.Echo IsNull(Null Xor True), IsNull(Null Eqv True)
WScript.Echo Null Imp True, False Imp Null, IsNull(True Imp Null), IsNull(Null Imp False)
' Strings that read as numbers work.
WScript.Echo "1" Or 2
' Both sides are always evaluated.
Dim calls
Function Touch(v)
    calls = calls + 1
    Touch = v
End Function
If Touch(False) And Touch(True) Then WScript.Echo "wrong"
WScript.Echo "calls:", calls
