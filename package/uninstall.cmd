@echo off
rem Uninstalls the Quillpost plug-in: for you alone (as install.cmd installs it), or with /all for
rem every user of this computer (needs an administrator). install.cmd does the work, in a cmd of
rem its own so that its exit code comes back whole (Wine's "call" of a script loses it).
cmd /c ""%~dp0install.cmd" :remove %*"
exit /b %errorlevel%
