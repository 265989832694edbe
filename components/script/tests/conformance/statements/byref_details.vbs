' ByRef in the corners: swaps, arguments changed inside expressions, aliases of globals.
Sub Swap(ByRef p, ByRef q)
    Dim t : t = p : p = q : q = t
End Sub
Dim m1, m2 : m1 = "one" : m2 = "two"
Swap m1, m2
WScript.Echo m1, m2
Dim list : list = Array(3, 1, 2)
Swap list(0), list(2)
WScript.Echo Join(list, ",")

' A Function changes its ByRef argument even when called inside an expression.
Function Bump(v)
    v = v + 1
    Bump = v * 10
End Function
Dim x, y : x = 1
y = Bump(x) + Bump(x)
WScript.Echo x, y

' The parameter and the global it was given are the same variable.
Dim g : g = 1
Sub Alias(p)
    g = 5
    WScript.Echo "alias sees", p
    p = 7
End Sub
Alias g
WScript.Echo "global is", g

' Copies: parentheses, constants, expressions, Call with an extra pair of parentheses.
Const Fixed = 3
Sub Change(p)
    p = "changed"
End Sub
Change Fixed
Dim z : z = "kept"
Call Change((z))
Change z & ""
WScript.Echo Fixed, z
Call Change(z)
WScript.Echo z

' A ByRef argument can itself be passed on ByRef.
Sub Outer(a)
    Inner a
End Sub
Sub Inner(b)
    b = b & "+inner"
End Sub
Dim chain : chain = "start"
Outer chain
WScript.Echo chain

' Loop counters and For Each variables passed ByRef.
Dim k, total
For k = 1 To 3
    Bump k
Next
WScript.Echo "counter bumped:", k
