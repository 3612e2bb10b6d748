Attribute VB_Name = "SkylarkCheck"
' Checks for VBA hosts: call these before an export to refuse a mistaken
' argument with a clear error, and SkJudge after it to raise a failure that
' says who refused. Needs the Skylark and SkylarkStandins modules. The widths
' are the export list's (docs/reference.md, column "width").
'
'     ring = SkHex("SKM_AppendCard", "ringText", ring, 12)
'     before = SkBefore(handle)
'     SkJudge "SKM_GetRaceRecord", "verified", handle, before, _
'             SKM_GetRaceRecord(handle, race, SkNumber("SKM_GetRaceRecord", "recordIndex", i, 16), body, t, lead)
'
' Errors: Err.Number SK_ERR_ARGUMENT (an argument refused; Err.Source is the
' export) or SK_ERR_CLOCKLINK, SK_ERR_LIBRARY, SK_ERR_UNDECIDED (who refused
' a failed call; Err.Description holds the export, the code and its words).
Option Explicit

Public Const SK_ERR_ARGUMENT As Long = vbObjectError + 513
Public Const SK_ERR_CLOCKLINK As Long = vbObjectError + 514
Public Const SK_ERR_LIBRARY As Long = vbObjectError + 515
Public Const SK_ERR_UNDECIDED As Long = vbObjectError + 516

Private Sub Refuse(ByVal export As String, ByVal name As String, ByVal problem As String)
    Err.Raise SK_ERR_ARGUMENT, export, export & ": " & name & " " & problem
End Sub

' Exactly digits hex digits, nothing else; returned in upper case.
Public Function SkHex(ByVal export As String, ByVal name As String, ByVal value As String, _
                      ByVal digits As Long) As String
    Dim i As Long, c As String
    For i = 1 To Len(value)
        c = Mid$(value, i, 1)
        If InStr(1, "0123456789ABCDEFabcdef", c, vbBinaryCompare) = 0 Then
            Refuse export, name, "must be exactly " & digits & " hex digits, got """ & value & """ (character '" & _
                   c & "' at position " & (i - 1) & " is not a hex digit)"
        End If
    Next i
    If Len(value) <> digits Then
        Refuse export, name, "must be exactly " & digits & " hex digits, got """ & value & """ (" & Len(value) & " digits)"
    End If
    SkHex = UCase$(value)
End Function

' A whole number from 0 to 2^bits - 1, as the Long the export takes (32-bit
' values above 2147483647 travel as negative Longs, the same 32 bits).
Public Function SkNumber(ByVal export As String, ByVal name As String, ByVal value As Variant, _
                         ByVal bits As Long) As Long
    Dim limit As Double
    limit = 2 ^ bits - 1
    If Not IsNumeric(value) Then Refuse export, name, "must be a whole number, got " & CStr(value)
    If CDbl(value) <> Fix(CDbl(value)) Then Refuse export, name, "must be a whole number, got " & CStr(value)
    If CDbl(value) < 0 Or CDbl(value) > limit Then
        Refuse export, name, "must be 0 to " & Format$(limit, "0") & " (a " & bits & "-bit field), got " & CStr(value)
    End If
    If CDbl(value) > 2147483647# Then SkNumber = CLng(CDbl(value) - 4294967296#) Else SkNumber = CLng(value)
End Function

' Text of at most maxChars characters (0: no limit), only of chars ("" : any),
' no NUL.
Public Function SkText(ByVal export As String, ByVal name As String, ByVal value As String, _
                       ByVal maxChars As Long, Optional ByVal chars As String = "") As String
    Dim i As Long
    If InStr(value, vbNullChar) > 0 Then Refuse export, name, "must not contain a NUL character"
    If maxChars > 0 And Len(value) > maxChars Then
        Refuse export, name, "must be at most " & maxChars & " characters (the clock uses " & maxChars & "), got " & Len(value)
    End If
    If Len(chars) > 0 Then
        For i = 1 To Len(value)
            If InStr(1, chars, Mid$(value, i, 1), vbBinaryCompare) = 0 Then
                Refuse export, name, "may hold only " & chars & ", got '" & Mid$(value, i, 1) & "'"
            End If
        Next i
    End If
    SkText = value
End Function

' A Byte array of exactly size bytes.
Public Sub SkBytes(ByVal export As String, ByVal name As String, value() As Byte, ByVal size As Long)
    If UBound(value) - LBound(value) + 1 <> size Then
        Refuse export, name, "must be exactly " & size & " bytes, got " & (UBound(value) - LBound(value) + 1)
    End If
End Sub

' A date a clock can hold (2000 to 2099, local wall-clock time), as the
' Double the export takes.
Public Function SkDate(ByVal export As String, ByVal name As String, ByVal value As Date) As Double
    If value < DateSerial(2000, 1, 1) Or value >= DateSerial(2100, 1, 1) Then
        Refuse export, name, "must lie in 2000 to 2099 (a clock's dates), got " & Format$(value, "yyyy-mm-dd hh:nn:ss")
    End If
    SkDate = CDbl(value)
End Function

' IFD_GetErrCode before a call on a clock.
Public Function SkBefore(ByVal handle As Long) As Long
    SkBefore = IFD_GetErrCode(handle)
End Function

' Raises the failure of an export on a clock when status is 0, saying who
' refused: for rules that judge the reply (exact-length, minimum-length,
' verified, device-state) an unchanged code 0 means the library refused the
' reply, an unchanged non-zero code cannot be told apart (SK_ERR_UNDECIDED);
' otherwise ClockLink refused, with its code and CLV_ErrorText's words.
Public Sub SkJudge(ByVal export As String, ByVal rule As String, ByVal handle As Long, ByVal before As Long, _
                   ByVal status As Integer)
    Dim after As Long, judged As Boolean
    If status <> 0 Then Exit Sub
    after = IFD_GetErrCode(handle)
    judged = rule = "exact-length" Or rule = "minimum-length" Or rule = "verified" Or rule = "device-state"
    If judged And after = before And after = 0 Then
        Err.Raise SK_ERR_LIBRARY, export, export & " failed (result 0): the library refused the clock's reply (" & rule & ")"
    ElseIf judged And after = before Then
        Err.Raise SK_ERR_UNDECIDED, export, export & " failed (result 0): ClockLink's code is still " & after & " " & _
                  ClvErrorName(after) & " from an earlier failure: ClockLink failed again, or the library refused the reply"
    Else
        Err.Raise SK_ERR_CLOCKLINK, export, export & " failed (result 0): ClockLink refused: error " & after & " " & _
                  ClvErrorName(after) & " (" & WordsFor(after) & ")"
    End If
End Sub

' CLV_ErrorText's words; "" with a ClockLink that has no such function.
Private Function WordsFor(ByVal code As Long) As String
    On Error Resume Next
    WordsFor = ClvErrorText(code)
End Function
