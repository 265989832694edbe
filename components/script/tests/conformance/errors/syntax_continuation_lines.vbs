' Line numbers count the continued lines.
Dim x
x = 1 + _
    2 + _
    3 +
WScript.Echo x
