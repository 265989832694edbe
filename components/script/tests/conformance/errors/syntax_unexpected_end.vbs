WScript.Echo "never printed"
Sub Tidy
End Sub
End If
