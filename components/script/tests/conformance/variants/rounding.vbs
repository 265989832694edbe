' CInt, CLng, CByte and Round take halves to the even neighbour; Int and Fix cut.
WScript.Echo CInt(0.5), CInt(1.5), CInt(2.5), CInt(3.5), CInt(-0.5), CInt(-1.5), CInt(-2.5)
WScript.Echo CInt(2.4), CInt(2.6), CInt(-2.6), CInt("2.5"), CInt("  7 ")
WScript.Echo CLng(2.5), CLng(3.5), CLng(1000000.5), CLng(1000001.5), CByte(2.5), CByte(3.5)
WScript.Echo Round(0.5), Round(1.5), Round(2.5), Round(-2.5), Round(2.51), Round(-2.51)
WScript.Echo Round(0.125, 2), Round(0.375, 2), Round(12345.6789, 2), Round(1.25, 1), Round(1.35, 1) > 1.3
WScript.Echo TypeName(Round(2.5)), TypeName(Round(CInt(3))), TypeName(Round(CCur(2.5))), Round(CCur(2.5))
WScript.Echo TypeName(Round(100000)), TypeName(Round("2.5")), Round("2.5")
WScript.Echo Int(2.7), Int(-2.7), Fix(2.7), Fix(-2.7), Int(-0.5), Fix(-0.5)
WScript.Echo TypeName(Int(2.7)), TypeName(Int(3)), TypeName(Fix(CCur(1.5))), Int(CCur(-1.5))
' The edges of each type.
WScript.Echo CInt(32767.4), CInt(-32768.5), CLng(-2147483648.5), CByte(255.4), CByte(-0.5)
WScript.Echo CCur(1.23456), CCur(-0.00004), CCur(2.5) * 2, TypeName(CCur(1) / 3)
