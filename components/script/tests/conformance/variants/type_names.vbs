' TypeName and VarType of every subtype, and the vb constants that name them.
Dim e, arr(2), o
Set o = WScript
Sub Show(v)
    WScript.Echo TypeName(v), VarType(v)
End Sub
Show e
Show Null
Show True
Show CByte(1)
Show 1
Show 100000
Show CSng(1)
Show 1.5
Show CCur(1)
Show Now
Show "text"
Show ""
Show arr
Show Array()
Show Nothing
WScript.Echo TypeName(o), VarType(o), IsObject(o)
WScript.Echo vbEmpty, vbNull, vbInteger, vbLong, vbSingle, vbDouble, vbCurrency, vbDate
WScript.Echo vbString, vbObject, vbBoolean, vbByte, vbArray, vbVariant
WScript.Echo VarType(arr) = vbArray + vbVariant, VarType("x") = vbString
' Tests of the subtype.
WScript.Echo IsArray(arr), IsArray(e), IsEmpty(e), IsEmpty(""), IsNull(Null), IsNull(e)
WScript.Echo IsObject(Nothing), IsObject(1), IsDate(#1/1/2000#), IsDate("1/1/2000")
WScript.Echo IsDate("not a date"), IsDate(1), IsNumeric(1), IsNumeric("1.5")
WScript.Echo IsNumeric(" 12 "), IsNumeric("1e3"), IsNumeric("&H1F"), IsNumeric("abc")
WScript.Echo IsNumeric(""), IsNumeric(Empty), IsNumeric(Null), IsNumeric(True)
WScript.Echo IsNumeric(#1/1/2000#), IsNumeric("-"), IsNumeric("1,5x")
