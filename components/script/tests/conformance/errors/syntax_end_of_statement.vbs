' A compile error stops the script before any of it runs.
WScript.Echo "never printed"
Dim total
total = 1 2
