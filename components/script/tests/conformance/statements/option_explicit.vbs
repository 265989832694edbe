Option Explicit
' Declared names work everywhere; an undeclared one stops the script when it is reached.
Dim declared
declared = 1
WScript.Echo "declared", declared

Sub UsesGlobal
    declared = declared + 1
End Sub
UsesGlobal
WScript.Echo "after Sub", declared

' Procedures must declare their own locals too; the error comes only when the line runs.
Sub Sloppy
    Dim ok
    ok = 1
    If ok = 2 Then typo = 3
    WScript.Echo "lines before it run"
    typo = 3
End Sub

On Error Resume Next
Sloppy
WScript.Echo Err.Number, Err.Description
On Error GoTo 0

undeclaredName = 5
