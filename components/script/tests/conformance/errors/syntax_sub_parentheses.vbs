' Parentheses around several arguments of a Sub call need Call.
Sub Pair(a, b)
End Sub
Call Pair(1, 2)
Pair 1, 2
Pair(1, 2)
