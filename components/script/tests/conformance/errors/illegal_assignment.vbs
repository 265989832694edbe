' Constants and procedures cannot be assigned to.
Const Limit = 10
Function Twice(x)
    Twice = x * 2
End Function
On Error Resume Next
Limit = 11
WScript.Echo Err.Number, Err.Description, Limit
Err.Clear
vbCrLf = "x"
WScript.Echo Err.Number, Err.Description
Err.Clear
On Error GoTo 0
Twice = 3
