' SPDX-License-Identifier: MIT
' CCOMPort's settings by name: defaults, what setting each one does, True read as -1, the refused
' baud rate's error, baud-rate names with and without the optional argument, and CSmartSwitch.
Dim p, q, sw, name
Set p = CreateObject("KivoCOMPortII.CCOMPort")

' A new port.
CheckEqual p.port, -1, "port is COM_NONE"
CheckEqual p.BaudRate, -1, "BaudRate is BAUD_NONE"
CheckEqual p.MinBaudRate, -1, "MinBaudRate is BAUD_NONE"
CheckEqual p.MaxBaudRate, -1, "MaxBaudRate is BAUD_NONE"
CheckEqual p.ControllerStyle, 0, "ControllerStyle is CS_KIVO"
CheckEqual p.Parity, 0, "Parity is PARITY_NONE"
CheckEqual p.DataBits, 4, "DataBits is DATA_8BITS"
CheckEqual p.StopBits, 0, "StopBits is STOP_1BIT"
CheckEqual p.Retries, 5, "Retries"
CheckEqual TypeName(p.Retries), "Integer", "Retries is 16-bit"
CheckEqual p.TimeOut, 3000, "TimeOut"
CheckEqual TypeName(p.TimeOut), "Long", "TimeOut is 32-bit"
Check p.AutoClose = True, "AutoClose True"
Check p.StripCRLF = True, "StripCRLF True"
Check p.CheckNonAscii = True, "CheckNonAscii True"
Check p.UseIrDADongle = False, "UseIrDADongle False"
Check p.UsesSmartSwitch = False, "UsesSmartSwitch False"
Check p.Debugging = False, "Debugging False"
Check p.IsConfigured() = False, "a new port is not configured"
CheckEqual TypeName(p.AutoClose), "Boolean", "Booleans cross as Boolean"

' True is -1, never 1.
CheckEqual CLng(p.AutoClose), -1, "True reads as -1"
CheckEqual CLng(p.Debugging), 0, "False reads as 0"

' Every Boolean setting stores what it is given.
p.AutoClose = False
Check p.AutoClose = False, "AutoClose set False"
p.Debugging = True
Check p.Debugging = True, "Debugging set True"
p.Debugging = False
p.UsesSmartSwitch = True
Check p.UsesSmartSwitch = True, "UsesSmartSwitch set True"
p.UseIrDADongle = True
Check p.UseIrDADongle = True, "UseIrDADongle set True"
p.StripCRLF = False
Check p.StripCRLF = False, "StripCRLF set False"
p.CheckNonAscii = False
Check p.CheckNonAscii = False, "CheckNonAscii set False"
p.Retries = 2
CheckEqual p.Retries, 2, "Retries set"
p.TimeOut = 250
CheckEqual p.TimeOut, 250, "TimeOut set"

' Any port number is stored.
p.port = 12
CheckEqual p.port, 12, "port 12 stored"
p.port = 0
CheckEqual p.port, 0, "port 0 stored"

' The controller style fixes the line settings.
p.ControllerStyle = 2
CheckEqual p.Parity, 1, "CS_AZONIX: even parity"
CheckEqual p.DataBits, 3, "CS_AZONIX: 7 data bits"
CheckEqual p.StopBits, 2, "CS_AZONIX: 2 stop bits"
p.ControllerStyle = 3
CheckEqual p.Parity, 0, "CS_XSYS: no parity"
CheckEqual p.StopBits, 0, "CS_XSYS: 1 stop bit"
p.ControllerStyle = 7
CheckEqual p.ControllerStyle, 7, "an unknown style is stored"
CheckEqual p.DataBits, 4, "an unknown style leaves the data bits"
p.ControllerStyle = 1
CheckEqual p.Parity, 1, "CS_OMEGA: even parity"

' The baud-rate range check, and the error a refused rate raises.
On Error Resume Next
p.BaudRate = 6
CheckError -2147221450, "CCOMPort - Let BaudRate", "Baud rate not supported.", "BAUD_9600 outside the limits"
On Error GoTo 0
CheckEqual p.BaudRate, -1, "a refused rate keeps the old one"
p.MaxBaudRate = 10
p.BaudRate = 6
CheckEqual p.BaudRate, 6, "BAUD_9600 within the limits"
p.MinBaudRate = 3
p.MaxBaudRate = 7
On Error Resume Next
p.BaudRate = 2
CheckError -2147221450, "CCOMPort - Let BaudRate", "Baud rate not supported.", "BAUD_600 below the minimum"
p.BaudRate = 8
CheckError -2147221450, "CCOMPort - Let BaudRate", "Baud rate not supported.", "BAUD_38400 above the maximum"
On Error GoTo 0
p.BaudRate = 3
CheckEqual p.BaudRate, 3, "BAUD_1200 at the minimum"
p.MaxBaudRate = 4
CheckEqual p.BaudRate, 3, "lowering the maximum leaves the rate"

' Baud-rate names; the omitted argument names the current rate.
CheckEqual p.BaudRateName(), "1200", "BaudRateName() of the current rate"
CheckEqual p.BaudRateName, "1200", "BaudRateName without parentheses"
CheckEqual p.BaudRateName(13), "921600", "BaudRateName(BAUD_921600)"
CheckEqual p.BaudRateName(-1), "2400", "BaudRateName(BAUD_NONE)"
CheckEqual p.BaudRateName(14), "2400", "BaudRateName(14)"
name = p.BaudRateName(0)
CheckEqual name, "150", "BaudRateName(BAUD_150)"

' Configured once both a rate and a port are chosen.
p.port = 3
Check p.IsConfigured() = True, "configured with a rate and a port"
p.port = -1
Check p.IsConfigured() = False, "not configured without a port"

' Settings belong to each object.
Set q = CreateObject("KivoCOMPortII.CCOMPort")
CheckEqual q.TimeOut, 3000, "a second port keeps its own settings"

' CSmartSwitch by name.
Set sw = CreateObject("KivoCOMPortII.CSmartSwitch")
CheckEqual sw.Style, 1, "a new switch is SSS_BB8PORT"
CheckEqual sw.NumPorts, 8, "with 8 ports"
CheckEqual TypeName(sw.NumPorts), "Integer", "NumPorts is 16-bit"
CheckEqual sw.CurrentPort, "", "and no port connected"
sw.Style = 0
CheckEqual sw.NumPorts, 4, "SSS_BB4PORT has 4 ports"
sw.Style = 2
CheckEqual sw.NumPorts, 8, "SSS_BT528AP has 8 ports"
sw.Style = 7
CheckEqual sw.Style, 7, "an unknown model is stored"
CheckEqual sw.NumPorts, 8, "and keeps the port count"
On Error Resume Next
sw.NumPorts = 3
Check Err.Number <> 0, "NumPorts cannot be set by clients"
Err.Clear
On Error GoTo 0

' Parent is set by reference and does not keep the port alive.
Set sw.Parent = q
Set q = Nothing
CheckEqual sw.NumPorts, 8, "the switch outlives its parent"
Set sw.Parent = Nothing
On Error Resume Next
Set sw.Parent = CreateObject("Scripting.Dictionary")
Check Err.Number <> 0, "a parent that is no port is refused"
Err.Clear
On Error GoTo 0

Set sw = Nothing
Set p = Nothing
Finish
