Dim x
x = 1 : Rem fine after a colon
x = 2 Rem but not without one
