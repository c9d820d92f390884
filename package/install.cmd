@echo off
rem Installs the Quillpost plug-in from this folder for you alone (no administrator needed), or
rem with /all for every user of this computer (needs an administrator). uninstall.cmd runs this
rem script with :remove first, to take the plug-in away again in the same two ways.
setlocal EnableExtensions
set "here=%~dp0"
set "dll=%~dp0Quillpost.dll"
set "action=install"
set "script=install.cmd"
set "done=installed"
if not "%~1"==":remove" goto scope
set "action=remove"
set "script=uninstall.cmd"
set "done=uninstalled"
shift
:scope
set "scope=user"
if /i "%~1"=="/all" set "scope=all"
if /i "%~1"=="/all" shift
if not "%~1"=="" goto usage
if not exist "%dll%" goto missing

rem A 32-bit DLL is registered by the 32-bit regsvr32, which 64-bit Windows keeps in SysWOW64.
set "regsvr32=%SystemRoot%\System32\regsvr32.exe"
if exist "%SystemRoot%\SysWOW64\regsvr32.exe" set "regsvr32=%SystemRoot%\SysWOW64\regsvr32.exe"
set "switches=/s"
if "%action%"=="remove" set "switches=/s /u"
if "%scope%"=="user" set "switches=%switches% /n /i:user"
"%regsvr32%" %switches% "%dll%"
set "code=%errorlevel%"
if not "%code%"=="0" goto failed

set "who=all users of this computer"
set "alone="
if "%scope%"=="user" set "who=you (%USERNAME%)"
if "%scope%"=="user" set "alone= alone"
if "%action%"=="remove" goto removed
echo Quillpost is %done% for %who%%alone%.
echo   Registered: "%dll%"
echo   Keep this folder where it is: programs load the plug-in from it.
echo   Start your messenger again and type /xquillpost in a conversation.
exit /b 0
:removed
echo Quillpost is %done% for %who%: its registry entries are gone.
echo   You may delete this folder now.
exit /b 0

:usage
echo Usage: install.cmd [/all]       install for you alone, or for all users (administrator)
echo        uninstall.cmd [/all]     uninstall the same way it was installed
exit /b 1

:missing
echo Quillpost was not %done%: Quillpost.dll is not in "%here%".
echo   Unpack the whole zip file into one folder and run the script from that folder.
exit /b 2

:failed
echo Quillpost was not %done%, and nothing was changed.
if "%code%"=="3" goto load_failed
if "%code%"=="4" goto not_ours
if "%code%"=="5" if "%scope%"=="all" goto all_users
if "%code%"=="5" goto registry_refused
echo   regsvr32 stopped with an unexpected code, %code%.
exit /b %code%
:load_failed
echo   Windows could not load "%dll%". If you downloaded the zip file, right-click it, choose
echo   Properties, tick Unblock, and unpack it again; a virus scanner may also hold the file back.
exit /b %code%
:not_ours
echo   "%dll%" is damaged or is not Quillpost's plug-in. Download the package again.
exit /b %code%
:all_users
rem The entries for all users go under HKEY_LOCAL_MACHINE: find out whether this program may write there.
reg add "HKLM\Software\Classes\Quillpost.AdministratorCheck" /f >nul 2>&1 || goto administrator
reg delete "HKLM\Software\Classes\Quillpost.AdministratorCheck" /f >nul 2>&1
:registry_refused
echo   The plug-in could not write its registry entries. A security program may be blocking
echo   changes to the registry; see the user guide, "When something goes wrong".
exit /b %code%
:administrator
echo   Doing this for all users needs an administrator. Right-click %script% and choose
echo   "Run as administrator", or run it without /all to do it for yourself alone.
exit /b %code%
