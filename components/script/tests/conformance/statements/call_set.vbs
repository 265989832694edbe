' Call with and without arguments, Set with objects and Nothing.
Dim log
Sub Note(text)
    log = log & text & ";"
End Sub
Sub Pair(a, b)
    log = log & a & "+" & b & ";"
End Sub
Sub NoArgs
    log = log & "none;"
End Sub

Call Note("call")
Note "plain"
Call Pair(1, 2)
Pair 3, 4
Call NoArgs
Call NoArgs()
NoArgs
WScript.Echo log

' Call discards a Function's value.
Function Value(x)
    Value = x * 2
    log = "function ran"
End Function
Call Value(4)
WScript.Echo log

' Set gives a name an object; Nothing releases it.
Dim o, p
Set o = WScript
Set p = o
WScript.Echo IsObject(o), o Is p, o Is WScript, o Is Nothing
Set o = Nothing
WScript.Echo IsObject(o), TypeName(o), o Is Nothing, p Is Nothing
o.Echo "never printed"
