' A messenger host written in VBScript: every argument a variable, as scripts pass them.
Option Explicit
Dim plugin
Set plugin = CreateObject("TallowPlugin6.Sample")

Sub Show(label, value)
    WScript.Echo label & " = " & TypeName(value) & " [" & value & "]"
End Sub

' Variables of the parameters' types, Empty ones, and ones of other types.
Dim pluginName, commandCount, tagCount, accepted
tagCount = 7
accepted = plugin.GetPublishInfo(pluginName, commandCount, tagCount)
Show "GetPublishInfo", accepted
Show "  sPluginName", pluginName
Show "  nCommandCount", commandCount
Show "  nTagCount", tagCount

pluginName = 12 : commandCount = "3" : tagCount = CByte(9)
accepted = plugin.GetPublishInfo(pluginName, commandCount, tagCount)
Show "GetPublishInfo, other types", accepted
Show "  sPluginName", pluginName
Show "  nCommandCount", commandCount
Show "  nTagCount", tagCount

Dim commandName, commandValue, commandHelp
commandHelp = "left alone"
plugin.GetPublishCommandInfo 1, commandName, commandValue, commandHelp
Show "GetPublishCommandInfo(1)", commandName
Show "  sValue", commandValue
Show "  sHelp", commandHelp
commandName = "was" : commandValue = Empty : commandHelp = 5
plugin.GetPublishCommandInfo 2, commandName, commandValue, commandHelp
Show "GetPublishCommandInfo(2)", commandName
WScript.Echo "  sValue = " & TypeName(commandValue)
Show "  sHelp", commandHelp

Dim command, result
result = "as before"
Show "ParseCommand(""/nothing"")", plugin.ParseCommand("/nothing", "", Nothing, result)
Show "  sResult", result
command = "/XQuillPost"
Show "ParseCommand(""/XQuillPost"")", plugin.ParseCommand(command, "", Nothing, result)
Show "  sResult", result

' Array elements and a Sub's ByRef parameters are passed on by reference too.
Dim slots(2)
slots(2) = CInt(5)
accepted = plugin.GetPublishInfo(slots(0), slots(1), slots(2))
Show "array elements", slots(0) & "," & slots(1) & "," & slots(2)

Sub Publish(ByRef name, ByRef count, ByRef tags)
    accepted = plugin.GetPublishInfo(name, count, tags)
End Sub
Dim subName, subCount, subTags
subTags = 3
Publish subName, subCount, subTags
Show "Sub ByRef", subName & "," & subCount & "," & subTags

' Values that cannot be converted: Type mismatch, and the variable keeps its value.
On Error Resume Next
Dim list
list = Array(1, 2)
plugin.GetPublishInfo list, commandCount, tagCount
WScript.Echo "array for sPluginName: error " & Err.Number & " " & Err.Description & ", still " & TypeName(list)
Err.Clear
commandCount = Null
plugin.GetPublishInfo pluginName, commandCount, tagCount
WScript.Echo "Null for nCommandCount: error " & Err.Number & " " & Err.Description & ", still " & TypeName(commandCount)
Err.Clear
Err.Clear
commandHelp = Null
plugin.GetPublishCommandInfo 1, commandName, commandValue, commandHelp
WScript.Echo "Null for sHelp: error " & Err.Number & " " & Err.Description & ", still " & TypeName(commandHelp)
Err.Clear
commandCount = "many"
plugin.GetPublishInfo pluginName, commandCount, tagCount
WScript.Echo "text for nCommandCount: error " & Err.Number & " " & Err.Description & ", still " & commandCount
