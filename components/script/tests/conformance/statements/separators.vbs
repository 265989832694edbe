' Statements separated by colons, lines continued with " _", comments and Rem.
Dim a, b, c : a = 1 : b = 2 : c = a + b
WScript.Echo c
WScript.Echo "one", _
    "two", _
    "three"
Dim total
total = 1 + _
        2 + _
        3
WScript.Echo total
Rem a comment with Rem
' a comment with a quote
WScript.Echo "text with ' inside" ' and a comment after it
a = 5 : Rem a Rem comment after a colon
WScript.Echo a
WScript.Echo "doubled ""quotes"" inside"
WScript.Echo Len(""""), """"
: : WScript.Echo "leading colons"
If a = 5 Then _
    WScript.Echo "continued If"
Function Joined(x, _
                y)
    Joined = x & _
             y
End Function
WScript.Echo Joined("con", "tinued")
	WScript.Echo "tab indented"
wscript.echo "names ignore case"
