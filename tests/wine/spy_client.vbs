' SPDX-License-Identifier: MIT
' A Windows program on a COM port that `kivocom spy` stands behind: a CS_OMEGA port (address 01)
' routed through a bb4 smart switch polls PV on switch port A, sets SL to 100.0 there, and asks ID
' on port B. The switch's model comes from a settings file, as a port's switch takes it.
'   cscript //nologo spy_client.vbs PORT SETTINGS_FILE
Option Explicit
Dim p, sw, ec, portNumber, file
portNumber = CInt(WScript.Arguments(0))
file = WScript.Arguments(1)

Set p = CreateObject("KivoCOMPortII.CCOMPort")
p.MaxBaudRate = 13
p.BaudRate = 6              ' 9600
p.ControllerStyle = 1       ' CS_OMEGA
p.port = portNumber
p.TimeOut = 1000
p.Retries = 2
p.UsesSmartSwitch = True
p.WriteToFile Nothing, file, "Meter"
Set sw = CreateObject("KivoCOMPortII.CSmartSwitch")
sw.Style = 0                ' SSS_BB4PORT
sw.WriteToFile Nothing, file, "Meter - SmartSwitch"
If Not p.ReadFromFile(Nothing, file, "Meter") Then WScript.Echo "settings not read"

ec = 7
WScript.Echo "PV on A: " & p.ReadPort(ec, "PV", "A", "01") & " (errorcode " & ec & ")"
ec = 7
p.WritePort ec, "SL", "A", "01", "100.0"
WScript.Echo "SL 100.0 on A: errorcode " & ec
ec = 7
WScript.Echo "ID on B: " & p.ReadPort(ec, "ID", "B", "01") & " (errorcode " & ec & ")"
Set p = Nothing
