' SPDX-License-Identifier: MIT
' Settings saved and loaded by name: with Nothing (the component makes its own settings object for
' the file name) and with a KivoIniFile.KivoINIFile the script created, for ports and switches.
Dim p, q, sw, ini, none, file, value, found

file = fso.BuildPath(records, "settings.ini")
If fso.FileExists(file) Then fso.DeleteFile file

' With Nothing.
Set p = CreateObject("KivoCOMPortII.CCOMPort")
p.MaxBaudRate = 10
p.BaudRate = 7
p.port = 5
p.TimeOut = 1234
p.Retries = 3
p.ControllerStyle = 2
p.UsesSmartSwitch = True
Set none = Nothing
p.WriteToFile none, file, "Meter"
Check none Is Nothing, "a component made for Nothing is released again"
Check fso.FileExists(file), "the settings file exists"

' The file keeps no baud-rate limits: a port takes a stored rate only within its own.
Set q = CreateObject("KivoCOMPortII.CCOMPort")
q.MaxBaudRate = 13
Check q.ReadFromFile(Nothing, file, "Meter") = True, "ReadFromFile with Nothing finds every key"
CheckEqual q.BaudRate, 7, "BaudRate loaded"
CheckEqual q.port, 5, "port loaded"
CheckEqual q.TimeOut, 1234, "TimeOut loaded"
CheckEqual q.Retries, 3, "Retries loaded"
CheckEqual q.ControllerStyle, 2, "ControllerStyle loaded"
CheckEqual q.StopBits, 2, "the style's line settings follow"
Check q.UsesSmartSwitch = True, "UsesSmartSwitch loaded"

' With a component the script created.
Set ini = CreateObject("KivoIniFile.KivoINIFile")
ini.FileName = file
q.TimeOut = 4321
q.WriteToFile ini, "ignored.ini", "Bench"
Check Not (ini Is Nothing), "the script's component stays with the script"
CheckEqual ini.Section, "Bench - SmartSwitch", "its section is the switch's, set last"
Check Not fso.FileExists("ignored.ini"), "the file name argument is ignored for a given component"
ini.Section = "Bench"
value = 0
found = ini.ReadLong("TimeOut", value)
Check found = True, "KivoINIFile.ReadLong finds the key"
CheckEqual value, 4321, "and stores the value in the variable"
CheckEqual TypeName(value), "Long", "as a Long"
value = 99
Check ini.ReadInteger("NoSuchKey", value) = False, "a missing key reads False"
CheckEqual value, 99, "and leaves the variable alone"
found = ini.ReadBoolean("AutoClose", value)
Check value = True, "KivoINIFile.ReadBoolean"
ini.Section = "Bench - SmartSwitch"
found = ini.ReadInteger("NumPorts", value)
CheckEqual value, 8, "the switch's section"

Set p = CreateObject("KivoCOMPortII.CCOMPort")
p.MaxBaudRate = 13
Check p.ReadFromFile(ini, , "Bench") = True, "ReadFromFile with the script's component"
CheckEqual p.TimeOut, 4321, "TimeOut loaded through it"

' The component's own writes and errors.
ini.Section = "Custom"
ini.WriteString "Name", "Bench 7"
ini.WriteInteger "Count", 12, ""
ini.WriteLong "Big", 100000, ""
ini.WriteBoolean "Flag", True
found = ini.ReadString("Name", value)
CheckEqual value, "Bench 7", "WriteString then ReadString"
found = ini.ReadLong("Big", value)
CheckEqual value, 100000, "WriteLong then ReadLong"
On Error Resume Next
ini.Section = ""
CheckEqual Err.Number, 5, "a blank section is refused with the component's own number"
CheckEqual Err.Source, "KivoINIFile - Section", "and its source"
Err.Clear
On Error GoTo 0

' A switch of the script's own.
Set sw = CreateObject("KivoCOMPortII.CSmartSwitch")
sw.Style = 0
sw.WriteToFile Nothing, file
Set sw = CreateObject("KivoCOMPortII.CSmartSwitch")
Check sw.ReadFromFile(Nothing, file) = True, "CSmartSwitch.ReadFromFile with the default section"
CheckEqual sw.Style, 0, "Style loaded"
CheckEqual sw.NumPorts, 4, "NumPorts loaded"
ini.Section = "SmartSwitch"
found = ini.ReadInteger("Style", value)
CheckEqual value, 0, "the switch wrote section SmartSwitch"

Set sw = Nothing
Set ini = Nothing
Set p = Nothing
Set q = Nothing
Finish
