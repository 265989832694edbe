' Chr and Asc use the Windows code page above 127; ChrW and AscW are Unicode.
WScript.Echo Chr(65), Asc("A"), Asc("abc"), Asc(1), Len(Chr(0)), Chr(9) = vbTab, Chr(13) & Chr(10) = vbCrLf
WScript.Echo Chr(128) = ChrW(8364), Asc(Chr(128)), Asc(Chr(150)), Asc(Chr(159)), Asc(Chr(200)), Asc(Chr(255))
Dim n, ok : ok = True
For n = 0 To 255
    If Asc(Chr(n)) <> n Then ok = False
Next
WScript.Echo "every code comes back:", ok
WScript.Echo AscW(ChrW(8364)), ChrW(65), AscW("é"), TypeName(Asc("a")), TypeName(Chr(65))
On Error Resume Next
Dim r
r = Chr(256) : WScript.Echo "Chr(256):", Err.Number : Err.Clear
r = Chr(-1) : WScript.Echo "Chr(-1):", Err.Number : Err.Clear
r = Asc("") : WScript.Echo "Asc(""""):", Err.Number : Err.Clear
