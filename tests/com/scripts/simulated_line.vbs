' SPDX-License-Identifier: MIT
' Ports mapped to instruments simulated inside the component's process (sim://), as a script
' client maps them: files com31 and com32 in the user's ports folder. An exchange, a set frame
' read back and a download, with no instrument program and no COM link behind the ports. Every
' call runs under On Error Resume Next and its error is a failed check, so the script always
' reaches Finish, which ends it with exit code 1 when a check failed.
Dim shell, portsFolder, p, ec, reply, data

Set shell = CreateObject("WScript.Shell")
portsFolder = shell.ExpandEnvironmentStrings("%APPDATA%")
' Wine's script host leaves the terminating NUL in the expanded text.
If InStr(portsFolder, Chr(0)) > 0 Then portsFolder = Left(portsFolder, InStr(portsFolder, Chr(0)) - 1)
portsFolder = portsFolder & "\kivocom"
If Not fso.FolderExists(portsFolder) Then fso.CreateFolder portsFolder
portsFolder = portsFolder & "\ports"
If Not fso.FolderExists(portsFolder) Then fso.CreateFolder portsFolder
MapPort 31, "sim://omega?address=01"
MapPort 32, "sim://kivo?readings=12"

On Error Resume Next
Set p = CreateObject("KivoCOMPortII.CCOMPort")
CheckNoError "CreateObject"
p.MaxBaudRate = 13
p.BaudRate = 6
p.ControllerStyle = 1
p.port = 31
p.TimeOut = 1000
p.Retries = 2
CheckNoError "port settings"

ec = 7
reply = p.ReadPort(ec, "PV", , "01")
CheckNoError "ReadPort PV"
CheckEqual ec, 0, "exchange: CE_NONE"
CheckEqual reply, "+0023.45", "exchange: the instrument's reading"
WScript.Echo "COM31 (sim://omega?address=01): ReadPort PV -> " & reply & ", errorcode " & ec

ec = 7
p.WritePort ec, "SP", , "01", "100.0"
CheckNoError "WritePort SP"
CheckEqual ec, 0, "set frame: CE_NONE"
' The acknowledgement of the set comes after WritePort has finished, as from a real instrument:
' let it arrive so that the next exchange clears it.
Pause 100
reply = p.ReadPort(ec, "SP", , "01")
CheckNoError "ReadPort SP"
CheckEqual reply, "100.0", "set frame: the instrument kept the value"
WScript.Echo "COM31: WritePort SP 100.0 (set frame), then ReadPort SP -> " & reply

p.ControllerStyle = 0
p.port = 32
ec = 7
data = p.Download(False, ec, "DL", , , 12)
CheckNoError "Download"
CheckEqual ec, 0, "download: CE_NONE"
CheckEqual CountOf(data, vbCrLf), 12, "download: twelve readings"
CheckEqual Left(data, 10), "+0020.00" & vbCrLf, "download: the first reading"
WScript.Echo "COM32 (sim://kivo?readings=12): Download DL -> " & Len(data) & " bytes, " & CountOf(data, vbCrLf) & _
  " readings, errorcode " & ec
Set p = Nothing
On Error GoTo 0

fso.DeleteFile fso.BuildPath(portsFolder, "com31")
fso.DeleteFile fso.BuildPath(portsFolder, "com32")
Finish

' Maps port `number` to `device` for every program of this user.
Sub MapPort(number, device)
  Dim mapping
  Set mapping = fso.CreateTextFile(fso.BuildPath(portsFolder, "com" & number), True)
  mapping.WriteLine device
  mapping.Close
End Sub

' A failed check for an error the last statement raised, which is then cleared.
Sub CheckNoError(what)
  If Err.Number <> 0 Then
    failed = failed + 1
    WScript.Echo "FAILED: " & what & " raised " & Err.Number & " (" & Err.Source & "): " & Err.Description
    Err.Clear
  End If
End Sub
