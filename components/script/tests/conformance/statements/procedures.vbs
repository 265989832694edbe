' Subs and Functions: ByRef by default, ByVal, return values, recursion, Exit Sub/Function.
Sub Twice(x)
    x = x * 2
End Sub
Sub TwiceByVal(ByVal x)
    x = x * 2
End Sub
Sub TwiceByRef(ByRef x)
    x = x * 2
End Sub

Dim a : a = 5
Twice a
WScript.Echo "ByRef by default:", a
TwiceByVal a
WScript.Echo "ByVal:", a
TwiceByRef a
WScript.Echo "ByRef:", a

' An array element passed ByRef is written through.
Dim arr : arr = Array(1, 2, 3)
Twice arr(1)
WScript.Echo "element:", arr(1)

' An expression passed ByRef is a copy; parentheses make a variable an expression.
Dim b : b = 3
Twice (b)
WScript.Echo "in parentheses:", b
Twice b + 0
WScript.Echo "expression:", b
Twice(b)
WScript.Echo "one argument in parentheses:", b
Call Twice(b)
WScript.Echo "Call:", b

' Functions return what was assigned to their name; Empty otherwise.
Function Square(n)
    Square = n * n
End Function
Function Nothing_Assigned()
End Function
WScript.Echo Square(7), IsEmpty(Nothing_Assigned())
WScript.Echo Square(Square(2))

' Recursion, each call with its own locals.
Function Fact(n)
    If n <= 1 Then
        Fact = 1
    Else
        Fact = n * Fact(n - 1)
    End If
End Function
WScript.Echo Fact(10)

Function Fib(n)
    Dim x, y
    If n < 2 Then Fib = n : Exit Function
    x = Fib(n - 1)
    y = Fib(n - 2)
    Fib = x + y
End Function
WScript.Echo Fib(15)

' Exit Sub leaves at once.
Sub Early(ByRef log)
    log = log & "a"
    If True Then Exit Sub
    log = log & "b"
End Sub
Dim log
Early log
WScript.Echo log

' A Function called as a statement throws its value away.
Square 3
Call Square(3)

' A Function without arguments is called without parentheses too.
Dim counter
Function NextNumber
    counter = counter + 1
    NextNumber = counter
End Function
WScript.Echo NextNumber, NextNumber(), NextNumber + 10

' Procedures may be used before they are written.
WScript.Echo Later(1)
Function Later(x)
    Later = "later " & x
End Function

' Arrays passed ByRef can be resized by the callee; ByVal gets a copy.
Sub Grow(ByRef list)
    ReDim Preserve list(UBound(list) + 1)
    list(UBound(list)) = "new"
End Sub
Sub Spoil(ByVal list)
    list(0) = "spoiled"
End Sub
Dim names : names = Array("old")
Grow names
Spoil names
WScript.Echo UBound(names), names(0), names(1)

' Assigning to a ByRef parameter inside a loop writes the caller's variable each time.
Sub CountTo(ByRef total, ByVal n)
    Dim k
    For k = 1 To n
        total = total + k
    Next
End Sub
Dim total : total = 0
CountTo total, 4
WScript.Echo "total", total

' Locals do not leak; undeclared names assigned in a procedure are local to it.
Sub MakeLocal
    hidden = "inside"
End Sub
Function Peek()
    Peek = TypeName(hidden)
End Function
MakeLocal
WScript.Echo "hidden is", Peek()

' A global that exists is assigned, not shadowed.
shared = "top"
Sub Change
    shared = "changed"
End Sub
Change
WScript.Echo shared
