' Statements that clear Err by themselves: On Error Resume Next, Exit Sub, Exit Function.
On Error Resume Next
Dim v
v = 1 / 0
WScript.Echo "after the error", Err.Number
On Error Resume Next
WScript.Echo "On Error Resume Next again", Err.Number

Function Risky()
    On Error Resume Next
    Risky = 1 / 0
    Exit Function
End Function
v = 1 / 0
v = Risky()
WScript.Echo "after Exit Function", Err.Number

Sub Tidy
    Exit Sub
End Sub
v = CInt("x")
WScript.Echo "before Exit Sub", Err.Number
Tidy
WScript.Echo "after Exit Sub", Err.Number

' A statement that succeeds does not clear it.
v = CInt("x")
v = 1
WScript.Echo "still set", Err.Number
