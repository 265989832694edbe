' The subtype of an arithmetic result: the wider operand's, widened again when it overflows.
Sub Show(label, v)
    WScript.Echo label, TypeName(v), v
End Sub
Show "1 + 1", 1 + 1
Show "32767 + 1", 32767 + 1
Show "-32768 - 1", CInt(-32768) - 1
Show "200 * 200", 200 * 200
Show "Long + 1", 2147483647 + 1
Show "Long * Long", 100000 * 100000
Show "Integer + Long", 1 + 40000
Show "Byte + Byte", CByte(200) + CByte(55)
Show "Byte + Byte overflow", CByte(200) + CByte(100)
Show "Byte - Byte", CByte(1) - CByte(2)
Show "Byte * Integer", CByte(2) * 3
Show "Single + Integer", CSng(1.5) + 1
Show "Single + Long", CSng(1.5) + 100000
Show "Currency + Integer", CCur(1.5) + 1
Show "Currency + Single", CCur(1.5) + CSng(1)
Show "Currency * Double", CCur(2) * 1.5
Show "Double + Integer", 0.5 + 1
Show "Date + 1", #1/1/2024# + 1
Show "Date - 1", #1/1/2024# - 1
Show "Date - Date", #1/3/2024# - #1/1/2024#
Show "String * String", "5" * "2"
Show "String - Integer", "10" - 1
Show "Boolean + Boolean", True + True
Show "Empty + 1", Empty + 1
Show "Empty * Empty", Empty * Empty
Show "-Integer", -CInt(5)
Show "-(-32768)", -CInt(-32768)
Show "-Byte", -CByte(5)
Show "-Boolean", -True
Show "Integer / Integer", 10 / 4
' Widening happens at every step of a longer expression.
Dim i, total
total = 0
For i = 1 To 300
    total = total + 200
Next
Show "running total", total
