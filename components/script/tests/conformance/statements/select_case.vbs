' Select Case with values, lists, Is comparisons, ranges and Case Else.
Function Grade(n)
    Select Case n
        Case 1, 2, 3
            Grade = "low"
        Case 4 To 6
            Grade = "middle"
        Case Is >= 10
            Grade = "high"
        Case 7, 8 To 9
            Grade = "upper"
        Case Else
            Grade = "other"
    End Select
End Function
WScript.Echo Grade(2), Grade(5), Grade(6), Grade(7), Grade(8.5), Grade(12), Grade(0)

' Strings compare as strings, ranges too.
Function Initial(s)
    Select Case UCase(Left(s, 1))
        Case "A" To "M"
            Initial = "first half"
        Case "N" To "Z"
            Initial = "second half"
        Case Else
            Initial = "not a letter"
    End Select
End Function
WScript.Echo Initial("apple"), Initial("zebra"), Initial("42")

' The first matching arm wins, even when later ones match too.
Select Case 5
    Case Is > 1
        WScript.Echo "first"
    Case 5
        WScript.Echo "second"
End Select

' The subject is evaluated once.
Dim calls
Function Subject()
    calls = calls + 1
    Subject = 3
End Function
Select Case Subject()
    Case 1
    Case 2
    Case 3 : WScript.Echo "three after", calls, "call"
End Select

' No arm matching and no Case Else: nothing runs.
Select Case "x"
    Case "y"
        WScript.Echo "wrong"
End Select

' Case Is with every comparison.
Dim v
For Each v In Array(1, 5, 9)
    Select Case v
        Case Is < 2 : WScript.Echo v, "< 2"
        Case Is <> 5 : WScript.Echo v, "<> 5"
        Case Is = 5 : WScript.Echo v, "= 5"
    End Select
Next

' Null matches no arm but Case Else.
Select Case Null
    Case 1 : WScript.Echo "wrong"
    Case Else : WScript.Echo "Null goes to Case Else"
End Select
