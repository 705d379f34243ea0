Attribute VB_Name = "CorvaneRegFree"
' Using Corvane.dll without registering it, from VBA (Office 32- or 64-bit) or
' VB6: the DLL's assembly manifest is activated for the call that creates the
' object, which is then used late-bound.
'
' Put Corvane.dll and Corvane.sxs.manifest of the kit's folder that matches
' Office's bitness (x86 for 32-bit Office, x64 for 64-bit Office) into one
' folder, and call for example:
'     Set list = CreateCorvaneList("C:\Tools\Corvane\x64\Corvane.sxs.manifest")
' The object keeps working after the context is deactivated: only its
' creation needs it.
Option Explicit

Private Type ACTCTX
    cbSize As Long
    dwFlags As Long
#If VBA7 Then
    lpSource As LongPtr
    wProcessorArchitecture As Integer
    wLangId As Integer
    lpAssemblyDirectory As LongPtr
    lpResourceName As LongPtr
    lpApplicationName As LongPtr
    hModule As LongPtr
#Else
    lpSource As Long
    wProcessorArchitecture As Integer
    wLangId As Integer
    lpAssemblyDirectory As Long
    lpResourceName As Long
    lpApplicationName As Long
    hModule As Long
#End If
End Type

#If VBA7 Then
Private Declare PtrSafe Function CreateActCtxW Lib "kernel32" (ByRef pActCtx As ACTCTX) As LongPtr
Private Declare PtrSafe Function ActivateActCtx Lib "kernel32" (ByVal hActCtx As LongPtr, ByRef lpCookie As LongPtr) As Long
Private Declare PtrSafe Function DeactivateActCtx Lib "kernel32" (ByVal dwFlags As Long, ByVal ulCookie As LongPtr) As Long
Private Declare PtrSafe Sub ReleaseActCtx Lib "kernel32" (ByVal hActCtx As LongPtr)
#Else
Private Declare Function CreateActCtxW Lib "kernel32" (ByRef pActCtx As ACTCTX) As Long
Private Declare Function ActivateActCtx Lib "kernel32" (ByVal hActCtx As Long, ByRef lpCookie As Long) As Long
Private Declare Function DeactivateActCtx Lib "kernel32" (ByVal dwFlags As Long, ByVal ulCookie As Long) As Long
Private Declare Sub ReleaseActCtx Lib "kernel32" (ByVal hActCtx As Long)
#End If

Private Const INVALID_HANDLE_VALUE = -1

' Creates a CorvaneV10.clsStringList through the manifest at manifestPath.
Public Function CreateCorvaneList(ByVal manifestPath As String) As Object
#If VBA7 Then
    Dim context As LongPtr, cookie As LongPtr
#Else
    Dim context As Long, cookie As Long
#End If
    Dim description As ACTCTX
    description.cbSize = LenB(description)
    description.lpSource = StrPtr(manifestPath)
    context = CreateActCtxW(description)
    If context = INVALID_HANDLE_VALUE Then
        Err.Raise vbObjectError + 1, "CreateCorvaneList", _
                  "The manifest " & manifestPath & " cannot be activated (error " & Err.LastDllError & ")"
    End If
    If ActivateActCtx(context, cookie) = 0 Then
        ReleaseActCtx context
        Err.Raise vbObjectError + 2, "CreateCorvaneList", "The manifest's context cannot be activated"
    End If
    On Error GoTo Failed
    Set CreateCorvaneList = CreateObject("CorvaneV10.clsStringList")
    DeactivateActCtx 0, cookie
    ReleaseActCtx context
    Exit Function
Failed:
    Dim number As Long, source As String, text As String
    number = Err.Number: source = Err.Source: text = Err.Description
    DeactivateActCtx 0, cookie
    ReleaseActCtx context
    Err.Raise number, source, text
End Function

' An example: a sorted list, one lookup. KitFolder is the folder that holds
' Corvane.dll and Corvane.sxs.manifest for Office's bitness.
Public Sub CorvaneRegFreeExample()
    Const KitFolder = "C:\Tools\Corvane\x64"
    Dim list As Object
    Set list = CreateCorvaneList(KitFolder & "\Corvane.sxs.manifest")
    list.Init Environ$("TEMP") & "\CorvaneRegFree.log", "", Environ$("TEMP"), 2
    list.StringList = Split("alpha|bravo|charlie", "|")
    Debug.Print "bravo is at "; list.lfnMatch("bravo")
End Sub
