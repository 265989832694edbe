Dim i, s
For i = 1 To 10
  s = s & CStr(i) & ","
Next
If Len(s) > 3 Then s = Left(s, 3) Else s = ""
