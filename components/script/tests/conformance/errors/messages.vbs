' The descriptions of the run-time errors scripts meet, as Err.Raise fills them in.
Dim n
On Error Resume Next
For Each n In Array(5, 6, 7, 9, 10, 11, 13, 14, 17, 28, 35, 51, 91, 92, 94, 424, 438, 445, 448, 449, 450, 451, 457, 500, 501, 505)
    Err.Clear
    Err.Raise n
    WScript.Echo Err.Number, Err.Description
Next
