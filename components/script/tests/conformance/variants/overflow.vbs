' Conversions and operations that cannot hold their result raise error 6.
On Error Resume Next
Dim r
Err.Clear : r = CInt(32768) : WScript.Echo "CInt(32768)", Err.Number
Err.Clear : r = CInt(-32769) : WScript.Echo "CInt(-32769)", Err.Number
Err.Clear : r = CInt(32767.5) : WScript.Echo "CInt(32767.5)", Err.Number
Err.Clear : r = CLng(2147483648) : WScript.Echo "CLng(2^31)", Err.Number
Err.Clear : r = CByte(256) : WScript.Echo "CByte(256)", Err.Number
Err.Clear : r = CByte(-1) : WScript.Echo "CByte(-1)", Err.Number
Err.Clear : r = CByte(255.5) : WScript.Echo "CByte(255.5)", Err.Number
Err.Clear : r = CSng(1E+39) : WScript.Echo "CSng(1E+39)", Err.Number
Err.Clear : r = CCur(1E+16) : WScript.Echo "CCur(1E+16)", Err.Number
Err.Clear : r = CCur(922337203685477) * 10 : WScript.Echo "Currency * 10", Err.Number
Err.Clear : r = 1E+308 * 10 : WScript.Echo "Double * 10", Err.Number
Err.Clear : r = 2 ^ 1024 : WScript.Echo "2 ^ 1024", Err.Number
Err.Clear : r = CLng(-2147483648) \ -1 : WScript.Echo "Long \ -1", Err.Number
Err.Clear : r = 0 / 0 : WScript.Echo "0 / 0", Err.Number
Err.Clear : r = #12/31/9999# + 1 : WScript.Echo "past the last date", Err.Number
Err.Clear : r = CDate(3000000) : WScript.Echo "CDate(3000000)", Err.Number
' Results that only outgrow Integer or Long widen instead.
Err.Clear : r = 32767 * 2 : WScript.Echo "32767 * 2", Err.Number, TypeName(r)
Err.Clear : r = 2147483647 * 2 : WScript.Echo "2147483647 * 2", Err.Number, TypeName(r)
On Error GoTo 0
r = CInt("40000")
