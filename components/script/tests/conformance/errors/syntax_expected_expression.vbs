Dim a, b
a = 1
b = a *
