' Run-time errors as the statements that cause them raise them.
On Error Resume Next
Dim r, fixed(2), o, arr
Sub Report(what)
    WScript.Echo what & ":", Err.Number, Err.Description
    Err.Clear
End Sub
Sub TakesOne(a)
End Sub

r = Sqr(-1) : Report "Sqr(-1)"
r = Log(0) : Report "Log(0)"
r = CInt(99999) : Report "CInt(99999)"
r = fixed(3) : Report "fixed(3)"
r = fixed(-1) : Report "fixed(-1)"
r = Array()(0) : Report "Array()(0)"
r = UBound(fixed, 2) : Report "UBound(fixed, 2)"
ReDim fixed(5) : Report "ReDim of a fixed array"
r = 1 / 0 : Report "1 / 0"
r = 5 \ 0 : Report "5 \ 0"
r = 5 Mod 0 : Report "5 Mod 0"
r = "a" + 1 : Report """a"" + 1"
r = fixed + 1 : Report "array + 1"
r = NoSuchFunction(1) : Report "unknown function"
r = Nothing : Report "r = Nothing"
r = CStr(Null) : Report "CStr(Null)"
Set r = 5 : Report "Set r = 5"
o.Member = 1 : Report "Empty.Member"
r = WScript.NoSuchMember : Report "WScript.NoSuchMember"
r = Len("a", "b") : Report "Len with two arguments"
TakesOne 1, 2 : Report "Sub with two arguments"
For Each r In 42 : Next : Report "For Each over a number"
arr = Array(1, 2)
r = arr(0, 0) : Report "two indexes on a list"
