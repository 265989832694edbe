' FormatNumber, FormatPercent and FormatCurrency, with optional arguments skipped between commas.
WScript.Echo FormatNumber(1234.5678), FormatNumber(1234.5678, 1), FormatNumber(1E6, 0), FormatNumber("12.5", 1)
WScript.Echo FormatNumber(1234.5, 2, , , 0), FormatNumber(1234.5, 2, , , vbFalse), FormatNumber(1234.5, , , , 0)
WScript.Echo FormatNumber(0.5, 2, 0), FormatNumber(0.5, 2, -1), FormatNumber(0.5, 2, vbUseDefault)
WScript.Echo FormatNumber(-5, 0), FormatNumber(-5, 0, , -1), FormatNumber(-5, 0, , vbTrue, vbFalse)
WScript.Echo FormatNumber(1234.5, 2, ), FormatNumber(-1234.5, , , , )
WScript.Echo FormatPercent(0.256), FormatPercent(0.5, 0), FormatPercent(-0.05, 1, , -1)
WScript.Echo FormatCurrency(1234.5), FormatCurrency(1234.56, 1), FormatCurrency(1234567, 0, , , 0)
' A skipped argument that is not optional is an error.
On Error Resume Next
Dim r
r = FormatNumber(, 2) : WScript.Echo Err.Number, Err.Description : Err.Clear
r = Mid("abc", , 2) : WScript.Echo Err.Number : Err.Clear
Sub Two(a, b)
End Sub
Two 1, : WScript.Echo Err.Number : Err.Clear
