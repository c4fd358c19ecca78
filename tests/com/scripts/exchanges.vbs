' SPDX-License-Identifier: MIT
' Exchanges by name on COM ports linked to simulated instruments: the framed commands byte for byte
' on the instruments' records, replies, the in/out errorcode, downloads, the smart switch, the
' errors of a port that cannot be opened, the shared COMControl and two ports taking turns on it.
Dim p, q, c, ec, reply, since, data, trace, i, lines, setFrame

' COM21: a CS_OMEGA instrument at address 01.
Set p = CreateObject("KivoCOMPortII.CCOMPort")
p.MaxBaudRate = 13
p.BaudRate = 6
p.ControllerStyle = 1
p.port = 21
p.TimeOut = 1000
p.Retries = 2

ec = 7
since = Len(Record("com21"))
reply = p.ReadPort(ec, "PV", , "01")
CheckEqual ec, 0, "ReadPort sets errorcode to CE_NONE"
CheckEqual reply, "+0100.5", "the poll's reply"
CheckEqual ReceivedSince("com21", since, "0D04303031315056050D"), "0D04303031315056050D", "poll frame PV at 01"

since = Len(Record("com21"))
ec = 7
p.WritePort ec, "SL", , "01", "100.0"
CheckEqual ec, 0, "WritePort sets errorcode to CE_NONE"
setFrame = "0D" & "04303031310253" & "4C3130302E300333" & "0D"
CheckEqual ReceivedSince("com21", since, setFrame), setFrame, "set frame SL 100.0 with its block check"
CheckEqual p.ReadPort(ec, "SL", , "01"), "100.0", "the set value reads back"

' An address nobody answers: the attempts run out.
p.TimeOut = 200
since = Len(Record("com21"))
reply = p.ReadPort(ec, "PV", , "02")
CheckEqual ec, 1, "silence gives CE_TIMEOUT"
CheckEqual reply, "", "and no reply"
CheckEqual CountOf(ReceivedSince("com21", since, "0D04303032325056050D0D04303032325056050D"), "0430303232505605"), 2, "Retries 2: sent twice"

' No port chosen.
p.port = -1
ec = 0
p.WritePort ec, "PV"
CheckEqual ec, 3, "no port gives CE_ABORTED"
Check p.OpenPort() = False, "OpenPort without a port is False"

' A port that cannot be opened raises, and errorcode stays CE_NONE.
p.port = 77
ec = 7
On Error Resume Next
p.WritePort ec, "PV"
CheckError -2147221453, "CCOMPort - OpenPort", "Cannot open COM port 77", "WritePort on COM77"
CheckEqual ec, 0, "errorcode is CE_NONE after the raised error"
Call p.OpenPort("")
CheckError -2147221453, "CCOMPort - OpenPort", "Cannot open COM port 77", "OpenPort on COM77"
On Error GoTo 0
Set p = Nothing

' COM22: a CS_KIVO instrument; texts travel one byte per character.
Set p = CreateObject("KivoCOMPortII.CCOMPort")
p.MaxBaudRate = 13
p.BaudRate = 6
p.port = 22
p.TimeOut = 1000
CheckEqual p.ReadPort(ec, "ID"), "KIVO SCRIPT INSTRUMENT", "CS_KIVO reply"
CheckEqual ec, 0, "CS_KIVO reply: CE_NONE"
reply = p.ReadPort(ec, "HI")
CheckEqual ec, 2, "a byte above 128 gives CE_INVALID_DATA"
p.CheckNonAscii = False
reply = p.ReadPort(ec, "HI")
CheckEqual ec, 0, "without the check: CE_NONE"
CheckEqual Asc(Left(reply, 1)), 176, "the byte B0 arrives as the code page's character 176"
CheckEqual Mid(reply, 2), "C 21.5", "and the rest of the reply"
since = Len(Record("com22"))
p.WritePort ec, "T" & Chr(233)
CheckEqual ReceivedSince("com22", since, "0D54E90D"), "0D54E90D", "character 233 goes out as the byte E9"

' Download with its progress window.
p.TimeOut = 400
since = Len(Record("com22"))
data = p.Download(False, ec, "DL", , , 20)
CheckEqual ec, 0, "Download: CE_NONE"
CheckEqual CountOf(data, vbCrLf), 20, "Download: twenty readings"
CheckEqual ReceivedSince("com22", since, "0D444C0D"), "0D444C0D", "Download sends its command once"

' The trace beside the component.
p.Debugging = True
reply = p.ReadPort(ec, "ID")
p.UpdateDebugFile "script line"
p.UpdateDebugFile
trace = fso.OpenTextFile(fso.BuildPath(records, "dbgkcom.txt")).ReadAll()
Check InStr(trace, "Opening COM port 22 with settings 9600,N,8,1") > 0, "the trace names the opening"
Check InStr(trace, vbTab & "script line") > 0, "UpdateDebugFile writes the given text"
p.Debugging = False

' The shared control.
Set c = p.COMControl
Set q = CreateObject("KivoCOMPortII.CCOMPort")
Check q.COMControl Is c, "two ports of the thread share one control object"
p.AutoClose = False
Check p.OpenPort() = True, "OpenPort opens COM22"
Check c.PortOpen = True, "COMControl.PortOpen"
CheckEqual c.CommPort, 22, "COMControl.CommPort"
CheckEqual c.Settings, "9600,N,8,1", "COMControl.Settings"
since = Len(Record("com22"))
c.Output = "ID" & vbCr
CheckEqual ReceivedSince("com22", since, "49440D"), "49440D", "COMControl.Output"
For i = 1 To 40
  If c.InBufferCount >= 24 Then Exit For
  Pause 25
Next
CheckEqual c.InBufferCount, 24, "COMControl.InBufferCount"
CheckEqual c.OutBufferCount, 0, "COMControl.OutBufferCount"
CheckEqual c.Input, "KIVO SCRIPT INSTRUMENT" & vbCrLf, "COMControl.Input"
CheckEqual c.Input, "", "COMControl.Input when nothing waits"
' Wine cannot drive the modem lines of a pseudo-terminal and answers 8015; a real port takes them.
On Error Resume Next
c.DTREnable = False
Check Err.Number = 0 Or Err.Number = 8015, "COMControl.DTREnable"
Err.Clear
c.RTSEnable = True
Check Err.Number = 0 Or Err.Number = 8015, "COMControl.RTSEnable"
Err.Clear
On Error GoTo 0
c.InBufferCount = 0
c.OutBufferCount = 0
p.ClearBuffers
c.PortOpen = False
Check c.PortOpen = False, "COMControl closes the line"
On Error Resume Next
c.CommPort = 0
CheckEqual Err.Number, 8002, "the control's own error numbers reach scripts as they are"
Err.Clear
p.ClearBuffers
Check Err.Number <> 0, "ClearBuffers on a closed line raises the control's error"
Err.Clear
On Error GoTo 0

' Two ports take turns on the one line: each opening applies its own settings.
q.MaxBaudRate = 13
q.BaudRate = 6
q.ControllerStyle = 1
q.port = 21
q.TimeOut = 1000
Check p.OpenPort() = True, "the first port opens COM22"
CheckEqual q.ReadPort(ec, "PV", , "01"), "+0100.5", "the second port's exchange on COM21"
CheckEqual c.CommPort, 21, "the line now carries the second port's number"
Check c.PortOpen = False, "and AutoClose closed it"

' Releasing the last reference to a port closes the line at once.
Check p.OpenPort() = True, "open again"
Set p = Nothing
Check c.PortOpen = False, "releasing the port closed the line"

' COM23: an eight-port smart switch (the model a port's switch has until its settings say
' otherwise) with instruments on A and B.
Set p = CreateObject("KivoCOMPortII.CCOMPort")
p.MaxBaudRate = 13
p.BaudRate = 6
p.port = 23
p.TimeOut = 1000
p.UsesSmartSwitch = True
CheckEqual p.ReadPort(ec, "ID", "B"), "INSTRUMENT B", "through the switch to port B"
CheckEqual p.ReadPort(ec, "ID", "A"), "INSTRUMENT A", "through the switch to port A"
since = Len(Record("com23"))
p.TestSmartSwitch
lines = ReceivedEndingWith("com23", since, "1B020204")
Check InStr(lines, "1B0230480D") > 0, "TestSmartSwitch steps up to port H"
Check Right(lines, 8) = "1B020204", "and releases the switch at the close"

Set c = Nothing
Set q = Nothing
Set p = Nothing
Finish
