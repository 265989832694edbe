' StrComp in binary and text mode; case conversion character by character.
WScript.Echo StrComp("a", "b"), StrComp("b", "a"), StrComp("a", "a"), StrComp("a", "A")
WScript.Echo StrComp("a", "A", 1), StrComp("a", "B", 0), StrComp("a", "B", 1), StrComp("a", "B", vbTextCompare)
WScript.Echo StrComp("abc", "ab"), StrComp("", "a"), StrComp("", ""), StrComp(1, "1"), StrComp(10, 9)
WScript.Echo TypeName(StrComp("a", "b")), IsNull(StrComp(Null, "a")), IsNull(StrComp("a", Null))
WScript.Echo StrComp("Straße", "STRASSE", 1) = 0, StrComp("é", "É", 1)
WScript.Echo UCase("Fünf straße"), LCase("ÄÖÜ ABC"), Len(UCase("ß")), UCase(12.5), LCase(True)
WScript.Echo UCase("mixed Case 123"), LCase("MiXeD"), "[" & UCase("") & "]", "[" & LCase(Empty) & "]"
