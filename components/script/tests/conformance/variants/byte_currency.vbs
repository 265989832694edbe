' Byte stays Byte while results fit 0 to 255; Currency keeps four decimals exactly.
Dim b : b = CByte(200)
WScript.Echo TypeName(b + CByte(55)), TypeName(b + b), TypeName(CByte(3) * CByte(4)), CByte(3) * CByte(4)
WScript.Echo TypeName(CByte(5) - CByte(10)), CByte(5) - CByte(10), Not CByte(0), TypeName(Not CByte(0))
WScript.Echo CByte("12"), CByte(False), TypeName(CByte(0) + 0)
Dim c : c = CCur(0.1)
WScript.Echo c * 3, c * 3 = 0.3, CCur(1) / 3, TypeName(CCur(10) \ 3), CCur(10) \ 3
WScript.Echo CCur(1234567.8912), CCur(-0.5), CCur("3.25") + 1, TypeName(CCur("3.25") + 1)
WScript.Echo CCur(922337203685477), TypeName(CCur(1) + CByte(1)), CCur(1) - 0.25
Dim total, k
total = CCur(0)
For k = 1 To 10
    total = total + CCur(0.1)
Next
WScript.Echo total, total = 1, TypeName(total)
Dim d : d = 0
For k = 1 To 10
    d = d + 0.1
Next
WScript.Echo d = 1
