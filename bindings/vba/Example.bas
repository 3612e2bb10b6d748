Attribute VB_Name = "SkylarkExample"
' Reads a clock's time and device information, downloads the first arrival of
' the first race, and proves a stored record. Needs the Skylark module; the
' handle comes from ClockLink (opening the channel is ClockLink's business).
Option Explicit

Public Sub ShowClock(ByVal handle As Long, ByVal password As String)
    Dim t As Double, info As String
    If SK_ConnectEx(handle, password) = 0 Then
        Debug.Print "connect refused"
        Exit Sub
    End If
    If SK_GetTime(handle, t) <> 0 Then Debug.Print "clock time "; CDate(t)
    info = String$(SK_GetDevInfo_info_Size, vbNullChar)
    If SK_GetDevInfo(handle, info) <> 0 Then Debug.Print "device "; Left$(info, InStr(info, vbNullChar) - 1)

    Dim count As Long, body As String, lead As String, arrival As Double
    If SKM_GetRaceCount(handle, count) <> 0 And count > 0 Then
        body = String$(SKM_GetRaceRecord_recordText_Size, vbNullChar)
        lead = String$(SKM_GetRaceRecord_leadText_Size, vbNullChar)
        ' Results are Integer: test for non-zero, never for True (-1) alone.
        If SKM_GetRaceRecord(handle, 0, 0, body, arrival, lead) <> 0 Then
            Debug.Print "first arrival "; Left$(body, 32); " at "; CDate(arrival)
        End If
    End If
End Sub

' The 40 plain bytes of a stored record as 80 hex digits, or "" when it does
' not prove. vKey: the record's 8 key bytes.
Public Function ParseStoredRecord(vKey() As Byte, ByVal recordHex As String) As String
    Dim plain As String
    plain = String$(SK_ParseRecordInfo_plain_Size, vbNullChar)
    If SK_ParseRecordInfo(vKey(LBound(vKey)), recordHex, plain) <> 0 Then
        ParseStoredRecord = Left$(plain, 80)
    End If
End Function

' Registers a bird with its arguments checked first (SkylarkCheck): a ring
' number of 13 digits, a word field of 70000 or a date before 2000 raise
' SK_ERR_ARGUMENT naming the argument, and a refused command raises an error
' that says whether ClockLink or the library refused.
Public Sub RegisterBird(ByVal handle As Long, ByVal ring As String, ByVal year As Long, ByVal birdNo As Long)
    Const E As String = "SKM_AppendCard"
    Dim before As Long
    ring = SkHex(E, "ringText", ring, 12)
    before = SkBefore(handle)
    SkJudge E, "normalised", handle, before, SKM_AppendCard(handle, ring, SkNumber(E, "byteField", 0, 8), _
            SkNumber(E, "wordField1", year, 16), SkNumber(E, "wordField2", birdNo, 16), SkNumber(E, "wordField3", 0, 16), _
            SkNumber(E, "longField", 0, 32), SkHex(E, "dataField", String$(24, "0"), 24))
End Sub
