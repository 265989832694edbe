Function Total(x)
    Total = x
End Function
Dim Count
Dim Count
