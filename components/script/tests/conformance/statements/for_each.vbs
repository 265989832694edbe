' For Each over arrays: elements are copies, Exit For, empty arrays, nested arrays.
Dim a, item, s
a = Array(1, 2, 3)
For Each item In a
    item = item * 10
    s = s & item & " "
Next
WScript.Echo s & "/", a(0), a(1), a(2)

s = ""
For Each item In Array("x", "y", "z")
    If item = "z" Then Exit For
    s = s & item
Next
WScript.Echo s, item

' No passes over an empty array.
Dim n : n = 0
For Each item In Split("", ",")
    n = n + 1
Next
WScript.Echo "passes:", n

' Multi-dimensional arrays are visited with the first index changing fastest.
Dim g(1, 2)
g(0, 0) = "00" : g(0, 1) = "01" : g(0, 2) = "02"
g(1, 0) = "10" : g(1, 1) = "11" : g(1, 2) = "12"
s = ""
For Each item In g
    s = s & item & " "
Next
WScript.Echo s & "/"

' Arrays inside arrays.
For Each item In Array(Array(1, 2), Array(3))
    WScript.Echo UBound(item) + 1, "items"
Next

' A string is not a collection.
Sub OverString
    For Each item In "abc"
        WScript.Echo "wrong"
    Next
End Sub
On Error Resume Next
OverString
WScript.Echo Err.Number, Err.Description
