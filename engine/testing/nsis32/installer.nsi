; The installer of a small 32-bit program, as such installers are written:
; its files in the 32-bit Program Files, and the registry entries that stay
; behind when the program's folder is deleted by hand. Being a 32-bit
; installer without SetRegView, every write below lands in the 32-bit view.
;
; makensis -DPROGRAM=<exe> -DSERVER=<dll> -DOUTFILE=<installer> installer.nsi
;
; Where a machine cannot run 32-bit code, the Wine test replays this script's
; files and registry writes itself; so keep each write on one line with its
; arguments quoted, and use only the variables it knows ($INSTDIR,
; $PROGRAMFILES and the defines).
Unicode true
Target x86-unicode
SetCompressor zlib
Name "Orvane Test 32"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Orvane Test 32"
RequestExecutionLevel admin

!define UNINSTALL "Software\Microsoft\Windows\CurrentVersion\Uninstall\OrvaneTest32"
!define APP_PATH "Software\Microsoft\Windows\CurrentVersion\App Paths\orvtest32.exe"
!define RUN "Software\Microsoft\Windows\CurrentVersion\Run"
!define SHARED_DLLS "Software\Microsoft\Windows\CurrentVersion\SharedDLLs"
!define CLASS "CLSID\{6F0C8E52-3B1D-4A7E-9C25-8D14F0A3B761}"
!define LIBRARY_ID "{6F0C8E53-3B1D-4A7E-9C25-8D14F0A3B761}"

Section "Orvane Test 32"
  SetOutPath "$INSTDIR"
  File "/oname=orvtest32.exe" "${PROGRAM}"
  File "/oname=orvtest32.dll" "${SERVER}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL}" "DisplayName" "Orvane Test 32"
  WriteRegStr HKLM "${UNINSTALL}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL}" "DisplayIcon" "$INSTDIR\orvtest32.exe"
  WriteRegStr HKLM "${UNINSTALL}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${APP_PATH}" "" "$INSTDIR\orvtest32.exe"
  WriteRegStr HKLM "${APP_PATH}" "Path" "$INSTDIR"
  WriteRegStr HKLM "${RUN}" "OrvaneTest32" '"$INSTDIR\orvtest32.exe" /background'
  WriteRegDWORD HKLM "${SHARED_DLLS}" "$INSTDIR\orvtest32.dll" 1
  WriteRegStr HKCR "${CLASS}" "" "Orvane Test 32 Object"
  WriteRegStr HKCR "${CLASS}\InprocServer32" "" "$INSTDIR\orvtest32.dll"
  WriteRegStr HKCR "${CLASS}\InprocServer32" "ThreadingModel" "Apartment"
  WriteRegStr HKCR "${CLASS}\TypeLib" "" "${LIBRARY_ID}"
  WriteRegStr HKCR "TypeLib\${LIBRARY_ID}\1.0" "" "Orvane Test 32 Library"
  WriteRegStr HKCR "TypeLib\${LIBRARY_ID}\1.0\0\win32" "" "$INSTDIR\orvtest32.dll"
  WriteRegStr HKCR "TypeLib\${LIBRARY_ID}\1.0\HELPDIR" "" "$INSTDIR"
SectionEnd

Section "Uninstall"
  DeleteRegKey HKCR "TypeLib\${LIBRARY_ID}"
  DeleteRegKey HKCR "${CLASS}"
  DeleteRegValue HKLM "${SHARED_DLLS}" "$INSTDIR\orvtest32.dll"
  DeleteRegValue HKLM "${RUN}" "OrvaneTest32"
  DeleteRegKey HKLM "${APP_PATH}"
  DeleteRegKey HKLM "${UNINSTALL}"
  Delete "$INSTDIR\orvtest32.exe"
  Delete "$INSTDIR\orvtest32.dll"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
