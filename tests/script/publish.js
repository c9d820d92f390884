// A messenger host written in JScript, which passes every argument by value: the calls work,
// and the plug-in never writes into the values or objects it was given.
var plugin = new ActiveXObject("TallowPlugin6.Sample");

function show(label, value) { WScript.Echo(label + " = " + typeof value + " [" + value + "]"); }

var tags = 7;
show("GetPublishInfo(\"\", 0, tags)", plugin.GetPublishInfo("", 0, tags));
show("  tags", tags);

// Objects that hold values: converted through their default value, and left as they were.
var name = new String("name"), count = new Number(2), help = new String("help");
show("GetPublishInfo(objects)", plugin.GetPublishInfo(name, count, new Number(3)));
show("  name", name);
show("  count", count);
show("GetPublishCommandInfo(1, objects)", plugin.GetPublishCommandInfo(1, name, name, help));
show("  help", help);

var result = new String("as before"), conversation = {};
show("ParseCommand(\"/nothing\")", plugin.ParseCommand("/nothing", "", conversation, result));
show("ParseCommand(\"/XQuillPost\")", plugin.ParseCommand("/XQuillPost", "", conversation, result));
show("  result", result);

try {
    plugin.GetPublishInfo("", null, 0);
} catch (e) {
    WScript.Echo("null for nCommandCount: error " + (e.number >>> 0).toString(16));
}
