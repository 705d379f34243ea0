' A script client of CorvaneV10.clsStringList (cscript //nologo CorvaneSample.vbs).
' A 64-bit cscript needs the 64-bit Corvane.dll registered, a 32-bit one (the
' one in SysWOW64) the 32-bit DLL. Prints "FAIL: ..." for a check that failed
' and "Corvane sample: done" when all passed; the exit code is 1 after a failure.
'
' A script has no typed arrays: Array and Split make arrays of variants, which
' the StringList property does not take (it reports error -1 "Unexpected
' parameter passed to StringList property" in its log and a message box). A
' script searches lists that a compiled client or a list box filled, and
' passes on the string arrays it got from such objects (list.StringList).
Option Explicit

Dim failures : failures = 0
Sub Check(condition, what)
  If Not condition Then
    WScript.Echo "FAIL: " & what
    failures = failures + 1
  End If
End Sub

Dim list, other, logFolder
Set list = CreateObject("CorvaneV10.clsStringList")

' The detail log goes to the temporary folder; trace level 2.
logFolder = CreateObject("WScript.Shell").ExpandEnvironmentStrings("%TEMP%")
list.Init logFolder & "\CorvaneSample.log", "", "", 2

' While the list is empty the exact search answers -1, the prefix location 0.
WScript.Echo "lfnMatch(""bravo"") = " & list.lfnMatch("bravo")
Check list.lfnMatch("bravo") = -1, "an empty list has no bravo"
Check list.lfnMatch("12", True) = -1, "nor the number 12"
Check list.lfnFirstMatchingPrefix("br") = 0, "the prefix location of an empty list is 0"

' Descriptions that end in a numeric code in parentheses.
Check list.bfnDescriptionContainsCode("charlie (12)"), "charlie (12) has a code"
Check Not list.bfnDescriptionContainsCode("charlie"), "charlie has none"

' The members that raise report their errors to the script.
On Error Resume Next
list.bfnDescriptionContainsCode ""
Check Err.Number = 5, "an empty description raises error 5, got " & Err.Number
On Error GoTo 0

' A second object shares the first one's list without copying it.
Set other = CreateObject("CorvaneV10.clsStringList")
other.AssignStringList list.ppStringListDescriptor
Check other.lfnMatch("bravo") = -1, "the shared list is the empty one"

If failures = 0 Then
  WScript.Echo "Corvane sample: done"
Else
  WScript.Quit 1
End If
