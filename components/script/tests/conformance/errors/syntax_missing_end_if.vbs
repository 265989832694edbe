' A block left open is reported where the file ends.
Dim x
If x Then
    x = 1
    If x Then x = 2
