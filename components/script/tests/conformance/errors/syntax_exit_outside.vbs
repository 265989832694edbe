Sub S
    Exit For
End Sub
