Dim x
If x = 1
    x = 2
End If
