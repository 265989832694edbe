' Errors leave procedures that do not handle them and reach the caller's handler.
Dim trail

Sub Inner
    trail = trail & "i1 "
    Dim x : x = 1 / 0
    trail = trail & "i2 "
End Sub

Sub Middle
    trail = trail & "m1 "
    Inner
    trail = trail & "m2 "
End Sub

On Error Resume Next
Middle
WScript.Echo trail, "|", Err.Number
Err.Clear

' A Function that fails inside an expression: the whole statement is skipped.
Function Failing()
    Failing = 1
    Err.Raise 9
End Function
Dim y : y = "before"
y = 10 + Failing()
WScript.Echo y, Err.Number
Err.Clear

' A procedure with its own handler keeps going after the error.
Sub Careful
    On Error Resume Next
    trail = ""
    Dim z : z = CLng("x")
    trail = "careful went on after " & Err.Number
End Sub
On Error GoTo 0
Careful
WScript.Echo trail

' The handler of a procedure ends with it: the caller without one stops.
Sub Handled
    On Error Resume Next
    Err.Raise 5
End Sub
Handled
WScript.Echo "still running"
Sub Unhandled
    Err.Raise 424
End Sub
Sub Caller
    On Error Resume Next
    Unhandled
    WScript.Echo "caller went on", Err.Number
End Sub
Caller
Unhandled
WScript.Echo "never printed"
