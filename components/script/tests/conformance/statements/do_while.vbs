' Do loops with the condition before or after the body, While ... Wend, Exit Do.
Dim n, s
n = 0
Do While n < 3
    n = n + 1
Loop
WScript.Echo "Do While", n

n = 0
Do Until n = 4
    n = n + 1
Loop
WScript.Echo "Do Until", n

' A condition after the body runs the body at least once.
n = 10
Do
    n = n + 1
Loop While n < 5
WScript.Echo "Loop While", n

n = 10
Do
    n = n - 1
Loop Until n < 8
WScript.Echo "Loop Until", n

' A condition before the body may run it no times.
n = 10
Do While n < 5
    n = n + 1
Loop
WScript.Echo "not entered", n

' Exit Do in an endless loop; it leaves only the innermost Do.
n = 0
Do
    n = n + 1
    Do
        s = s & "."
        Exit Do
    Loop
    If n = 3 Then Exit Do
Loop
WScript.Echo "Exit Do", n, s

' Exit Do from inside a For inside the Do leaves both.
n = 0
Do
    For s = 1 To 10
        n = n + 1
        If s = 2 Then Exit Do
    Next
Loop
WScript.Echo "through For", n

' While ... Wend
n = 1
While n < 100
    n = n * 3
Wend
WScript.Echo "While", n

' Null in the condition counts as false.
Do While Null
    WScript.Echo "wrong"
Loop
WScript.Echo "done"
