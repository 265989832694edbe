' Block and single-line If in all their shapes.
Function Classify(n)
    If n < 0 Then
        Classify = "negative"
    ElseIf n = 0 Then
        Classify = "zero"
    ElseIf n < 10 Then
        Classify = "small"
    Else
        Classify = "large"
    End If
End Function
WScript.Echo Classify(-3), Classify(0), Classify(4), Classify(40)

Dim x, y
x = 5
If x > 3 Then y = "big" Else y = "small"
WScript.Echo y
If x > 30 Then y = "big" Else y = "small"
WScript.Echo y

' Several statements on each side of a single-line If.
If x = 5 Then y = 1 : x = x + 1 Else y = 2 : x = x - 1
WScript.Echo x, y
If x = 5 Then y = 1 : x = x + 1 Else y = 2 : x = x - 1
WScript.Echo x, y

' No Else: nothing happens when the condition is false.
y = "kept"
If False Then y = "changed"
WScript.Echo y

' A call statement as the single-line body.
If True Then WScript.Echo "called" Else WScript.Echo "not called"

' Conditions: numbers, strings that read as numbers or Booleans, Null counts as false.
If 2 Then WScript.Echo "2 is true"
If 0 Then WScript.Echo "0 is true" Else WScript.Echo "0 is false"
If "1" Then WScript.Echo "string 1 is true"
If "False" Then WScript.Echo "wrong" Else WScript.Echo "string False is false"
If Null Then WScript.Echo "wrong" Else WScript.Echo "Null takes the Else branch"
If Empty Then WScript.Echo "wrong" Else WScript.Echo "Empty is false"

' Nested blocks
If x > 0 Then
    If y = "kept" Then
        WScript.Echo "nested"
    End If
End If

' End If may follow a ':' on the block's last line.
If x Then
    WScript.Echo "block" : End If
