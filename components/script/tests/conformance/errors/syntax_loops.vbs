' Loops closed with the wrong word.
Dim i
For i = 1 To 3
    Do
        i = i + 1
    Next
Loop
