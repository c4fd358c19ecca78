' SPDX-License-Identifier: MIT
' The pick lists filled into script classes that play the client's controls: an image combo whose
' ComboItems collection gets the ports, and a list box that gets the baud rates.

Class ComboItem
  Public Key
  Public Text
  Public Image
  Public Tag
  Public Selected
  Private Sub Class_Initialize
    Selected = False
  End Sub
End Class

Class ComboItemList
  Public Items
  Public Cleared
  Private Sub Class_Initialize
    Set Items = CreateObject("Scripting.Dictionary")
    Cleared = 0
  End Sub
  Public Sub Clear
    Items.RemoveAll
    Cleared = Cleared + 1
  End Sub
  Public Function Add(Index, Key, Text, Image)
    Dim item
    Set item = New ComboItem
    item.Key = Key
    item.Text = Text
    item.Image = Image
    Items.Add Items.Count, item
    Set Add = item
  End Function
  Public Function ByText(Text)
    Dim i
    Set ByText = Nothing
    For i = 0 To Items.Count - 1
      If Items.Item(i).Text = Text Then Set ByText = Items.Item(i)
    Next
  End Function
End Class

Class ImageCombo
  Public ComboItems
  Private Sub Class_Initialize
    Set ComboItems = New ComboItemList
  End Sub
End Class

Class ListBox
  Public Texts
  Public Data
  Public NewIndex
  Private Sub Class_Initialize
    Set Texts = CreateObject("Scripting.Dictionary")
    Set Data = CreateObject("Scripting.Dictionary")
    NewIndex = -1
  End Sub
  Public Sub Clear
    Texts.RemoveAll
    Data.RemoveAll
    NewIndex = -1
  End Sub
  Public Sub AddItem(Text)
    NewIndex = Texts.Count
    Texts.Add NewIndex, Text
  End Sub
  Public Property Let ItemData(Index, Value)
    Data.Item(Index) = Value
  End Property
End Class

Class NoItems
End Class

Dim p, combo, list, item, i, previous, ascending, selectedCount

Set p = CreateObject("KivoCOMPortII.CCOMPort")

' Baud rates from MinBaudRate to MaxBaudRate, each carrying its index.
Set list = New ListBox
list.AddItem "left over"
p.MinBaudRate = 3
p.MaxBaudRate = 6
p.FillBaudRatesCombo list
CheckEqual list.Texts.Count, 4, "four rates from BAUD_1200 to BAUD_9600"
CheckEqual list.Texts.Item(0), "1200", "first rate"
CheckEqual list.Texts.Item(3), "9600", "last rate"
CheckEqual list.Data.Item(0), 3, "first rate's data"
CheckEqual list.Data.Item(3), 6, "last rate's data"
p.MinBaudRate = 7
p.FillBaudRatesCombo list
CheckEqual list.Texts.Count, 0, "a minimum above the maximum lists nothing"

' Ports: the instruments' ports are there; the current one is marked and selected.
Set combo = New ImageCombo
p.FillCOMPortsCombo combo, 22
CheckEqual combo.ComboItems.Cleared, 1, "the list is cleared first"
Set item = combo.ComboItems.ByText("COM22")
Check Not (item Is Nothing), "COM22 is listed"
If Not (item Is Nothing) Then
  CheckEqual item.Key, "22 COM22", "the item's key"
  CheckEqual item.Image, 2, "the current port's image"
  CheckEqual item.Tag, "22", "the item's tag"
  Check item.Selected = True, "the current port is selected"
End If
Set item = combo.ComboItems.ByText("COM21")
Check Not (item Is Nothing), "COM21 is listed"
If Not (item Is Nothing) Then CheckEqual item.Image, 3, "another free port's image"
ascending = True
previous = 0
selectedCount = 0
For i = 0 To combo.ComboItems.Items.Count - 1
  Set item = combo.ComboItems.Items.Item(i)
  If CLng(item.Tag) <= previous Then ascending = False
  previous = CLng(item.Tag)
  If item.Selected Then selectedCount = selectedCount + 1
Next
Check ascending, "ports in ascending order"
CheckEqual selectedCount, 1, "one item selected"

' No current port: nothing marked or selected.
p.FillCOMPortsCombo combo
selectedCount = 0
For i = 0 To combo.ComboItems.Items.Count - 1
  If combo.ComboItems.Items.Item(i).Selected Then selectedCount = selectedCount + 1
  If combo.ComboItems.Items.Item(i).Image = 2 Then selectedCount = selectedCount + 1
Next
CheckEqual selectedCount, 0, "CurrentPort omitted: none selected or marked current"

' A control without ComboItems.
On Error Resume Next
p.FillCOMPortsCombo New NoItems
CheckEqual Err.Number, 438, "a control without ComboItems"
Err.Clear
p.FillBaudRatesCombo Nothing
CheckEqual Err.Number, 91, "Nothing as the control"
Err.Clear
On Error GoTo 0

Set p = Nothing
Finish
