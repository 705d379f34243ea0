' A script client of CorvaneV10.clsStringList, as a VBScript page or macro
' would use it: variables passed as they are, a list filled from a list-box
' object, the list read back and changed. Argument: the detail log path.
Option Explicit

Dim failures
failures = 0

Sub Check(condition, what)
  If Not condition Then
    WScript.Echo "FAIL: " & what
    failures = failures + 1
  End If
End Sub

Dim logPath, list, box, items, i, t, fso, text
logPath = WScript.Arguments(0)

Set list = CreateObject("CorvaneV10.clsStringList")
list.Init logPath, "", "", 4

Set box = CreateObject("CorvaneTest.ListBox")
box.AddItem "zulu"
box.AddItem "alpha"
box.AddItem "mike"
list.TransferVBListBoxToStringList box

' The list-box stand-in's Describe reads a String() array for the script.
items = list.StringList
Check IsArray(items), "StringList is an array"
Check box.Describe(items) = "0..2:zulu|alpha|mike", "list-box order, got " & box.Describe(items)

' Variables go by reference; a small integer is converted for the Long.
i = 1
t = "changed"
list.ReplaceString i, t
items = list.StringList
Check box.Describe(items) = "0..2:zulu|changed|mike", "ReplaceString through variables"
Check t = "changed" And i = 1, "the script's variables keep their values"

' A lookup on the list zulu, changed, mike (not sorted: mike is found by the
' first probe), and one through a variable that receives the stored entry.
Check list.lfnMatch("MIKE") = 2, "lfnMatch finds mike"
Dim d
d = "ZULU"
Check list.lfnMatchingPrefixLocationServerChange(d, 0) = 0, "description search"
Check d = "zulu", "the stored entry is written back, got " & d
On Error Resume Next
list.bfnDescriptionContainsCode ""
Check Err.Number = 5, "an empty description raises error 5, got " & Err.Number
Check InStr(Err.Description, "Raised at line") > 0, "the raise chain is in the description"
Err.Clear
On Error GoTo 0

' Out of range: logged, no error.
On Error Resume Next
list.ReplaceString 7, "x"
Check Err.Number = 0, "ReplaceString out of range raises nothing (" & Err.Description & ")"
Err.Clear
' Not a string array: the member's own trap, no error for the script.
list.StringList = 5
Check Err.Number = 0, "StringList = 5 raises nothing (" & Err.Description & ")"
Err.Clear
Check box.Describe(list.StringList) = "no array", "the list is empty after a bad put"
On Error GoTo 0

Set fso = CreateObject("Scripting.FileSystemObject")
text = fso.OpenTextFile(logPath, 1).ReadAll
Check InStr(text, "Index for string to be replaced is outside of range of array: 7") > 0, "out-of-range entry logged"
Check InStr(text, "Unexpected parameter passed to StringList property") > 0, "bad put logged"

Set list = Nothing
Set box = Nothing
If failures > 0 Then
  WScript.Echo failures & " check(s) failed"
  WScript.Quit 1
End If
WScript.Echo "VBScript client: all checks passed"
WScript.Quit 0
