@echo off
rem Puts the game's roster, fixture and season database back as they were before the
rem last update of the 2009 Patch, and waits for a key so that its report can be read.
cd /d "%~dp0"
tolvane-patch.com --restore
pause
