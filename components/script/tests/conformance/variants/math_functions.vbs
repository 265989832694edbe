' Abs, Sgn, Sqr, Exp, Log, Int, Fix and the types they give back.
WScript.Echo Abs(-5), TypeName(Abs(-5)), Abs(-2.5), Abs(CCur(-1.5)), TypeName(Abs(CCur(-1.5))), Abs("-3")
WScript.Echo Abs(CLng(-100000)), TypeName(Abs(CLng(-100000))), IsNull(Abs(Null)), Abs(Empty)
WScript.Echo Sgn(-0.5), Sgn(0), Sgn(42), TypeName(Sgn(2.5)), Sgn("-7")
WScript.Echo Sqr(16), Sqr(2), Sqr(0), TypeName(Sqr(4))
WScript.Echo Exp(0), Exp(1), Log(1), Log(Exp(2)), Log(100) / Log(10)
WScript.Echo Int(2.7), Int(-2.2), Fix(-2.7), Int("3.9"), TypeName(Int("3.9")), TypeName(Fix(CLng(5)))
On Error Resume Next
Dim r
r = Sqr(-4) : WScript.Echo "Sqr(-4):", Err.Number : Err.Clear
r = Log(-1) : WScript.Echo "Log(-1):", Err.Number : Err.Clear
r = Exp(1000) : WScript.Echo "Exp(1000):", Err.Number : Err.Clear
r = Abs("x") : WScript.Echo "Abs(""x""):", Err.Number : Err.Clear
