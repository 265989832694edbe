' On Error Resume Next and On Error GoTo 0 with the Err object.
On Error Resume Next
Dim x
x = 1 / 0
WScript.Echo "after the error", Err.Number, Err.Description
WScript.Echo "x is still", TypeName(x)

' Err keeps its values through statements that succeed, until cleared.
x = 2
WScript.Echo Err.Number
Err.Clear
WScript.Echo Err.Number, "[" & Err.Description & "]"

' Err.Number is the default property.
x = CInt("nope")
WScript.Echo Err, Err.Number = 13

' Raise with a number of the language fills in its description and source.
Err.Raise 6
WScript.Echo Err.Number, Err.Description, Err.Source

' Raise with our own number, source and description.
Err.Raise vbObjectError + 513, "Billing", "Rate missing"
WScript.Echo Err.Number, Err.Number - vbObjectError, Err.Source, Err.Description

' A number the language does not know.
Err.Raise 31999
WScript.Echo Err.Number, Err.Description

' Err properties may be written.
Err.Clear
Err.Number = 5
Err.Description = "set by hand"
WScript.Echo Err.Number, Err.Description

' On Error GoTo 0 clears Err and makes errors stop the script again.
On Error GoTo 0
WScript.Echo "cleared", Err.Number
On Error Resume Next
x = Array(1)(3)
WScript.Echo "skipped", Err.Number
On Error GoTo 0
WScript.Echo "next one stops"
x = Mid("abc", 0)
WScript.Echo "never printed"
