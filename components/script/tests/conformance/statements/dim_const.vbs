' Declarations: scalars, fixed and dynamic arrays, constants.
Dim a, b, c
WScript.Echo TypeName(a), IsEmpty(b)
a = 1 : b = "two" : c = a & b
WScript.Echo c

Dim fixed(3)
WScript.Echo UBound(fixed), LBound(fixed), TypeName(fixed), IsArray(fixed)
fixed(0) = "x" : fixed(3) = "y"
WScript.Echo fixed(0) & fixed(1) & fixed(3)

Dim grid(2, 4)
WScript.Echo UBound(grid, 1), UBound(grid, 2)
grid(2, 4) = 24
WScript.Echo grid(2, 4), IsEmpty(grid(0, 0))

Dim dyn()
dyn = Array(1, 2)
WScript.Echo UBound(dyn)

Const Pi = 3.14159, Title = "Report", Big = 100000
Const Negative = -5
WScript.Echo Pi, Title, TypeName(Big), Negative, TypeName(Negative)

' Constants inside a procedure are local to it.
Sub ShowLocal
    Const Title = "Inner"
    WScript.Echo Title
End Sub
ShowLocal
WScript.Echo Title

' Names ignore case; brackets make any text a name.
Dim MixedCase
mixedcase = 7
WScript.Echo MIXEDCASE
Dim [two words]
[two words] = "bracketed"
WScript.Echo [Two Words]
