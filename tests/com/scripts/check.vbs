' SPDX-License-Identifier: MIT
Option Explicit
' The checks every script of the suite shares. The runner puts this file in front of each script,
' so Option Explicit above holds for all of them: the script host cannot see the type library's
' enumeration names, and a misspelt or unknown name would otherwise read as Empty.
'
' Every script ends with Finish, whose "RESULT: n passed, m failed" line the runner requires: the
' script host exits 0 even when a script fails to parse or stops on an error.

Dim passed, failed, fso, records
passed = 0
failed = 0
Set fso = CreateObject("Scripting.FileSystemObject")
' The folder of the component's copy, its trace file and the instruments' record files.
records = CreateObject("WScript.Shell").ExpandEnvironmentStrings("%KIVOCOM_COM_FOLDER%")

Sub Check(ok, what)
  If ok Then
    passed = passed + 1
  Else
    failed = failed + 1
    WScript.Echo "FAILED: " & what
  End If
End Sub

Sub CheckEqual(actual, expected, what)
  If TypeName(actual) = TypeName(expected) Or (IsNumeric(actual) And IsNumeric(expected)) Then
    If actual = expected Then
      passed = passed + 1
      Exit Sub
    End If
  End If
  failed = failed + 1
  WScript.Echo "FAILED: " & what & ": got [" & actual & "] (" & TypeName(actual) & "), expected [" & expected & "] (" & TypeName(expected) & ")"
End Sub

' Checks the error the last statement raised (under On Error Resume Next), then clears it.
Sub CheckError(number, source, description, what)
  CheckEqual Err.Number, number, what & ": Err.Number"
  CheckEqual Err.Source, source, what & ": Err.Source"
  CheckEqual Err.Description, description, what & ": Err.Description"
  Err.Clear
End Sub

' The bytes of a text in hexadecimal, two digits each, as the line carries them.
Function HexOf(text)
  Dim i, code
  HexOf = ""
  For i = 1 To Len(text)
    code = Hex(Asc(Mid(text, i, 1)))
    If Len(code) < 2 Then code = "0" & code
    HexOf = HexOf & code
  Next
End Function

' Everything instrument `port` (such as "com21") has received, in hexadecimal.
Function Record(port)
  Dim path
  path = fso.BuildPath(records, port & ".hex")
  Record = ""
  If fso.FileExists(path) Then
    If fso.GetFile(path).Size > 0 Then Record = fso.OpenTextFile(path).ReadAll()
  End If
End Function

 ' Waits `ms` milliseconds. WScript.Sleep is a stub in Wine's script host (it returns at once with
' error 445), so this watches the clock instead.
Sub Pause(ms)
  Dim start
  start = Timer
  ' Timer starts again from 0 at midnight.
  Do While Timer >= start And Timer < start + ms / 1000
  Loop
End Sub

' What instrument `port` received after its record held `since` hexadecimal digits, once that is
' at least `expected` long or two seconds have passed.
Function ReceivedSince(port, since, expected)
  Dim waited, text
  For waited = 0 To 40
    text = Mid(Record(port), since + 1)
    If Len(text) >= Len(expected) Then Exit For
    Pause 50
  Next
  ReceivedSince = text
End Function

' What instrument `port` received after its record held `since` hexadecimal digits, once that
' ends with `ending` or two seconds have passed.
Function ReceivedEndingWith(port, since, ending)
  Dim waited, text
  For waited = 0 To 40
    text = Mid(Record(port), since + 1)
    If Right(text, Len(ending)) = ending Then Exit For
    Pause 50
  Next
  ReceivedEndingWith = text
End Function

Function CountOf(text, part)
  CountOf = (Len(text) - Len(Replace(text, part, ""))) / Len(part)
End Function

Sub Finish
  WScript.Echo "RESULT: " & passed & " passed, " & failed & " failed"
  If failed > 0 Then WScript.Quit 1
End Sub
