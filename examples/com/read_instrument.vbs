' SPDX-License-Identifier: MIT
' Reads an instrument through the KivoCOMPortII component, as a Windows script would.
'
'   regsvr32 KivoCOMPortII.dll                        (once; or use the registration-free manifest)
'   cscript //nologo read_instrument.vbs [port] [command]
'
' The port defaults to COM1 and the command to ID. Script hosts cannot see the type library's
' enumeration names, so the values are written out with the names beside them.
Option Explicit

Const BAUD_9600 = 6
Const BAUD_921600 = 13
Const CS_KIVO = 0
Const CE_NONE = 0

Dim port, errorcode, reply, portNumber, command, failed
portNumber = 1
command = "ID"
If WScript.Arguments.Count > 0 Then portNumber = CInt(WScript.Arguments(0))
If WScript.Arguments.Count > 1 Then command = WScript.Arguments(1)

Set port = CreateObject("KivoCOMPortII.CCOMPort")
port.MaxBaudRate = BAUD_921600   ' the rates this program accepts, up to 921600
port.BaudRate = BAUD_9600
port.ControllerStyle = CS_KIVO   ' 9600,N,8,1; framing of the maker's own controllers
port.port = portNumber
port.TimeOut = 1000              ' milliseconds per attempt
port.Retries = 3

' ReadPort never raises: a port that cannot be opened and a silent instrument both end in
' errorcode CE_TIMEOUT. Opening the port first tells them apart, since OpenPort raises when the
' port cannot be opened; ReadPort then opens it again for its exchange.
failed = False
On Error Resume Next
port.OpenPort
If Err.Number <> 0 Then
  WScript.Echo "Cannot open COM" & portNumber & ": error " & Err.Number & " from " & Err.Source & ": " & Err.Description
  failed = True
End If
On Error GoTo 0
If Not failed Then
  reply = port.ReadPort(errorcode, command)
  If errorcode = CE_NONE Then
    WScript.Echo "COM" & portNumber & " answered " & command & ": " & reply
  Else
    WScript.Echo "No complete reply from COM" & portNumber & " (errorcode " & errorcode & ")"
    failed = True
  End If
End If

' The script host does not release objects when it quits, so release the port first: that
' closes the line.
Set port = Nothing
If failed Then WScript.Quit 1
