' A selection of the date functions; dates print in the United States format here.
Dim d : d = #1/15/2024 2:30:45 PM#
WScript.Echo Year(d), Month(d), Day(d), Hour(d), Minute(d), Second(d), TypeName(Year(d))
WScript.Echo Weekday(d), Weekday(d, vbMonday), WeekdayName(Weekday(d)), MonthName(Month(d))
WScript.Echo MonthName(2, True), WeekdayName(1), WeekdayName(2, True), WeekdayName(1, False, vbMonday)
WScript.Echo DateSerial(2024, 2, 30), DateSerial(2024, 13, 1), DateSerial(2024, 1, 0), DateSerial(2024, 3, -1)
WScript.Echo TimeSerial(14, 30, 0), TimeSerial(0, 90, 0), TimeSerial(25, 0, 0)
WScript.Echo DateAdd("m", 1, #1/31/2024#), DateAdd("d", 10, #1/25/2024#), DateAdd("yyyy", 1, #2/29/2024#)
WScript.Echo DateAdd("h", 36, #1/1/2024#), DateAdd("n", -1, #1/1/2024#), DateAdd("ww", 2, #1/1/2024#)
WScript.Echo DateDiff("d", #1/1/2024#, #3/1/2024#), DateDiff("m", #1/31/2024#, #2/1/2024#), DateDiff("yyyy", #12/31/2023#, #1/1/2024#)
WScript.Echo DateDiff("d", #1/2/2024#, #1/1/2024#), DateDiff("h", #1/1/2024#, #1/2/2024 6:00#), DateDiff("s", #1/1/2024#, #1/1/2024 0:01#)
WScript.Echo DatePart("q", #8/15/2024#), DatePart("y", #2/1/2024#), DatePart("yyyy", d), DatePart("w", d)
WScript.Echo DateValue("1/15/2024 2:00 PM"), TimeValue("2:00 PM"), CDate("2024-01-15"), CDate("March 5, 2024")
WScript.Echo IsDate("2/30/2024"), IsDate("2/29/2024"), IsDate("12:30"), IsNull(Month(Null))
WScript.Echo #1/15/2024# + 0.5, CDbl(#1/1/2024#), #3/1/2024# - #2/1/2024#, TypeName(Date), TypeName(Now)
WScript.Echo FormatDateTime(d, vbLongDate), FormatDateTime(d, vbShortDate), FormatDateTime(d, vbGeneralDate)
WScript.Echo FormatDateTime(d, vbLongTime), FormatDateTime(d, vbShortTime), FormatDateTime(#1/15/2024#)
WScript.Echo Now >= Date, CDbl(Date) = Int(CDbl(Now)) Or Hour(Now) = 0, CDbl(Time) < 1
On Error Resume Next
Dim r
r = DateAdd("x", 1, d) : WScript.Echo "unknown interval:", Err.Number : Err.Clear
r = MonthName(13) : WScript.Echo "month 13:", Err.Number : Err.Clear
r = CDate("not a date") : WScript.Echo "CDate of text:", Err.Number : Err.Clear
