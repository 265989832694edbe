' An array assigned into one of its own elements is copied as it was, not as it becomes.
Dim a(1)
a(0) = 1
a(1) = "x"
a(0) = a
WScript.Echo IsArray(a(0)), a(0)(0), a(0)(1), IsArray(a(0)(0))
a(1) = a
WScript.Echo IsArray(a(1)(0)), a(1)(0)(0), a(1)(1)
Dim b
b = Array(1, 2)
b(1) = b
WScript.Echo b(0), b(1)(0), b(1)(1)
