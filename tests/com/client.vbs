' A script client of CorvaneV10.clsStringList, as a page or macro uses it (argument: the
' detail log). A failed check prints "FAIL:"; the last line shows the script ran to its end.
Option Explicit

Dim list, box, i, t

Sub Check(condition, what)
  If Not condition Then WScript.Echo "FAIL: " & what
End Sub

' Where the description search (from the first entry) finds text; its variable gets the entry.
Function Find(text)
  Dim v, at
  v = UCase(text)
  at = list.lfnMatchingPrefixLocationServerChange(v, 0)
  Check v = text Or at < 0, "the stored entry is written back, got " & v
  Find = at
End Function

Set list = CreateObject("CorvaneV10.clsStringList")
list.Init WScript.Arguments(0), "", "", 4
Set box = CreateObject("CorvaneTest.ListBox")
box.AddItem "zulu" : box.AddItem "alpha" : box.AddItem "mike"
list.TransferVBListBoxToStringList box
Check IsArray(list.StringList), "StringList is an array"
Check Find("zulu") = 0 And Find("alpha") = 1 And Find("mike") = 2, "the list box's order"

' Variables go by reference; a small integer is converted for the Long.
i = 1
t = "changed"
list.ReplaceString i, t
Check Find("changed") = 1 And t = "changed" And i = 1, "ReplaceString through variables"
' lfnMatch's binary search: the list is not sorted, but its probes reach mike.
Check list.lfnMatch("MIKE") = 2, "lfnMatch finds mike"
On Error Resume Next
list.bfnDescriptionContainsCode ""
Check Err.Number = 5, "an empty description raises error 5, got " & Err.Number
Err.Clear
' Out of range and a put of no array: the members' own traps, logged, no error.
list.ReplaceString 7, "x"
list.StringList = 5
Check Err.Number = 0, "the members' traps raise nothing (" & Err.Description & ")"
On Error GoTo 0
Check Find("zulu") = -1, "the list is empty after a bad put"
WScript.Echo "VBScript client: done"
