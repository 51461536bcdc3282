@regsvr32 %* "%~dp0Tellarix.dll"
