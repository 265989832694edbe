' Runaway recursion stops with "Out of stack space" instead of taking the program down.
Function Down(n)
    Down = Down(n + 1) + 1
End Function
Dim r, depth
On Error Resume Next
r = Down(1)
WScript.Echo Err.Number, Err.Description, IsEmpty(r)
Err.Clear

' Deep but bounded recursion still works.
Function Sum(n)
    If n = 0 Then Sum = 0 Else Sum = n + Sum(n - 1)
End Function
WScript.Echo Sum(500), Err.Number
On Error GoTo 0

Sub Forever(n)
    depth = n
    Forever n + 1
End Sub
Forever 1
