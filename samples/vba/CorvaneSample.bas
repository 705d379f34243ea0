Attribute VB_Name = "CorvaneSample"
' Using CorvaneV10.clsStringList from VBA (Office 32- or 64-bit) or VB6.
'
' Early-bound: Tools > References > "CorvaneV10" (Corvane.dll registered, by
' the installer or regsvr32; 64-bit Office needs the 64-bit DLL), then
'     Dim list As New CorvaneV10.clsStringList
' Late-bound: Dim list As Object: Set list = CreateObject("CorvaneV10.clsStringList")
Option Explicit

' The address of an array variable (its SAFEARRAY pointer's cell), which
' AssignStringList takes so that the object searches the array in place.
#If VBA7 Then
Private Declare PtrSafe Function VarPtrArray Lib "VBE7" Alias "VarPtr" (ByRef Var() As Any) As LongPtr
#Else
Private Declare Function VarPtrArray Lib "msvbvm60.dll" Alias "VarPtr" (ByRef Var() As Any) As Long
#End If

' The array that AssignStringList shares: it must live as long as the
' object searches it (here, as long as the module's data).
Private mEntries() As String

Public Sub CorvaneExample()
    Dim list As Object
    Set list = CreateObject("CorvaneV10.clsStringList")
    list.Init Environ$("TEMP") & "\CorvaneSample.log", Environ$("TEMP") & "\CorvaneSummary.log", _
              Environ$("TEMP"), 2

    ' A copy of an array of strings (not of variants, as Array makes), sorted in
    ' the order the lookups use.
    list.StringList = Split("alpha|bravo|charlie (12)|delta", "|")   ' an array of strings
    Debug.Print "exact:       "; list.lfnMatch("BRAVO")                    ' 1
    Debug.Print "as long:     "; list.lfnMatch("12", True)                 ' -1: the entries are not numbers
    Debug.Print "prefix:      "; list.lfnMatchingPrefixLocation("ch", vbTextCompare)   ' 2
    Debug.Print "has a code:  "; list.bfnDescriptionContainsCode("charlie (12)")       ' True

    Dim text As String
    text = "charlie"
    Debug.Print "description: "; list.lfnMatchingPrefixLocationServerChange(text, vbTextCompare)  ' 2
    Debug.Print "stored as:   "; text                                      ' charlie (12)

    ' Sharing an array without copying it: the object reads mEntries in place.
    ReDim mEntries(0 To 2)
    mEntries(0) = "100": mEntries(1) = "200": mEntries(2) = "300"
#If VBA7 Then
    Dim address As LongPtr
#Else
    Dim address As Long
#End If
    address = VarPtrArray(mEntries)
    list.AssignStringList address
    Debug.Print "shared:      "; list.lfnMatch("200", True)                ' 1

    ' A second object can share the first one's list.
    Dim other As Object
    Set other = CreateObject("CorvaneV10.clsStringList")
    address = list.ppStringListDescriptor
    other.AssignStringList address
    Debug.Print "second:      "; other.lfnMatch("300", True)               ' 2
End Sub
