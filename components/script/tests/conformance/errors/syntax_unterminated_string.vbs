Dim s
s = "one line
" & "next"
