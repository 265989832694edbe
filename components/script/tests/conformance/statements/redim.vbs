' ReDim with and without Preserve, Erase, and arrays as values.
Dim a()
ReDim a(2)
a(0) = "a" : a(1) = "b" : a(2) = "c"
ReDim Preserve a(4)
WScript.Echo UBound(a), a(0) & a(1) & a(2), IsEmpty(a(4))
ReDim Preserve a(1)
WScript.Echo UBound(a), a(0) & a(1)
ReDim a(1)
WScript.Echo IsEmpty(a(0))

' Only the last dimension may change when preserving.
Dim m()
ReDim m(1, 1)
m(1, 1) = 11 : m(0, 1) = 1
ReDim Preserve m(1, 3)
WScript.Echo m(1, 1), m(0, 1), UBound(m, 2)

' ReDim of an undeclared name makes it.
ReDim fresh(3)
WScript.Echo UBound(fresh)
Dim n : n = 5
ReDim fresh(n * 2)
WScript.Echo UBound(fresh)

' Assignment copies an array.
Dim b
b = a
b(0) = "changed"
WScript.Echo a(0) = "", b(0)

' Erase empties a fixed array and frees a dynamic one.
Dim f(1)
f(0) = 1 : f(1) = 2
Erase f
WScript.Echo UBound(f), IsEmpty(f(1))
Erase a
On Error Resume Next
WScript.Echo UBound(a)
WScript.Echo Err.Number
