Function Twice(x)
  Twice = x * 2
End Function
Sub PostProcess()
  Dim a(3)
  a(0) = Twice(2.5)
  Select Case a(0)
    Case 5: a(1) = FormatNumber(1234.5, 2)
    Case Else: a(1) = Null
  End Select
  On Error Resume Next
  a(2) = 1 / 0
  a(3) = DateAdd("d", 1, #2024-02-28#)
End Sub
