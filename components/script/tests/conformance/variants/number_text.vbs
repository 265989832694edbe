' Numbers as text (CStr, &, Echo) and text as numbers (CDbl, CBool, arithmetic).
WScript.Echo CStr(1 / 3), CStr(2 / 3), 1 / 7
WScript.Echo 1E+15, 999999999999999, 123456789012345678, 1E-05, 0.0001, -1.5E-10
WScript.Echo CSng(1 / 3), CSng(1E+10), CSng(123456789), CSng(0.1)
WScript.Echo 1.1 + 2.2, 100, -0.5, 2.5E+20 * 4, 1 / 1024
WScript.Echo CCur(1.5), CCur(-1234.5678), CCur(100), TypeName(CStr(CCur(1)))
WScript.Echo CStr(True), CStr(False), #1/2/2024 1:05:09 PM#, CStr(#12/30/1899#)
WScript.Echo CDbl("1.5") + 1, CDbl(" 12 "), CDbl("1e2"), CDbl("&HFF"), CDbl("-.5"), CDbl("+3")
WScript.Echo CBool("true"), CBool("False"), CBool(0), CBool(-2), CBool("1"), CBool(0.1), CBool("0")
WScript.Echo CLng("  42  "), CInt("-7"), CByte("200"), TypeName(CDbl("1"))
On Error Resume Next
Dim r
r = CBool("yes") : WScript.Echo "CBool(""yes""):", Err.Number : Err.Clear
r = CDbl("1.5.2") : WScript.Echo "CDbl(""1.5.2""):", Err.Number : Err.Clear
r = CLng("") : WScript.Echo "CLng(""""):", Err.Number : Err.Clear
r = "abc" * 2 : WScript.Echo """abc"" * 2:", Err.Number : Err.Clear
r = "1/15/2024" + 1 : WScript.Echo "date text + 1:", Err.Number : Err.Clear
r = CDate("1/15/2024") + 1 : WScript.Echo "CDate(date text) + 1:", r, Err.Number
