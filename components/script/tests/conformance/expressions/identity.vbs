' Is compares object references; Nothing is the empty reference.
Dim a, b, c
Set a = WScript
Set b = WScript
WScript.Echo a Is b, a Is Nothing, Nothing Is Nothing
Set c = Nothing
WScript.Echo c Is Nothing, TypeName(c), VarType(c), IsObject(c)
' A variable that never held an object is not Nothing: Is needs objects.
Dim plain
On Error Resume Next
WScript.Echo plain Is Nothing
WScript.Echo Err.Number, Err.Description
Err.Clear
WScript.Echo 1 Is 1
WScript.Echo Err.Number
