' For ... Next: steps, bounds evaluated once, the counter after the loop, Exit For.
Dim i, s
s = ""
For i = 1 To 5
    s = s & i
Next
WScript.Echo s, i

s = ""
For i = 10 To 1 Step -3
    s = s & i & " "
Next
WScript.Echo s & "/", i

s = ""
For i = 0 To 1 Step 0.25
    s = s & i & " "
Next
WScript.Echo s & "/", TypeName(i)

' A loop whose range is empty runs no times but sets the counter.
For i = 5 To 1
    WScript.Echo "wrong"
Next
WScript.Echo "empty range leaves", i

' The end and the step are read once, before the first pass.
Dim last : last = 3
s = ""
For i = 1 To last
    last = 10
    s = s & i
Next
WScript.Echo s

' The body may change the counter.
s = ""
For i = 1 To 10
    s = s & i
    i = i + 2
Next
WScript.Echo s

' Exit For leaves the innermost loop only.
Dim j
s = ""
For i = 1 To 3
    For j = 1 To 3
        If j = 2 Then Exit For
        s = s & i & j & " "
    Next
Next
WScript.Echo s

For i = 1 To 100
    If i * i > 50 Then Exit For
Next
WScript.Echo "first square above 50:", i

' Strings that read as numbers work as bounds; Next may name its counter.
s = 0
For i = "2" To "4"
    s = s + i
Next i
WScript.Echo s

' Integer counters widen past 32767 instead of overflowing.
For i = 32766 To 32768
Next
WScript.Echo i, TypeName(i)
