' Names ignore case, keywords too; Public/Private at the top; procedures on one line.
DIM Upper : upper = 1
If UPPER = 1 THEN wscript.ECHO "keywords and names ignore case"
Public pub : pub = 3
Private priv : priv = 4
WScript.Echo pub + priv
Private Function Hidden() : Hidden = "private function" : End Function
Public Sub Shown : WScript.Echo "public sub", Hidden() : End Sub
Shown
Function F(): F = 1: End Function
Sub S: WScript.Echo "one-line sub", F(): End Sub
S
Dim my_var1, [my var], [Select]
my_var1 = 2 : [my var] = 3 : [Select] = 4
WScript.Echo my_var1 + [my var] + [select]

' Select Case True picks the first arm whose test holds.
Dim n : n = 7
Select Case True
    Case n > 10 : WScript.Echo "big"
    Case n > 5 : WScript.Echo "middle"
    Case Else : WScript.Echo "small"
End Select

' An If inside the Else of a single-line If.
Dim a, b, x : a = False : b = True
If a Then x = 1 Else If b Then x = 2 Else x = 3
WScript.Echo x

' A loop on one line, an empty Echo, comments after Then.
Dim i : i = 0
Do While i < 3 : i = i + 1 : Loop
WScript.Echo i
WScript.Echo
If i Then ' a comment makes this a block
    WScript.Echo "block after a comment"
End If

' Assignment and comparison share "=": the first is the assignment.
a = 1 = 1
WScript.Echo a, TypeName(a)
