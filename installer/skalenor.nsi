; Skalenor installer (NSIS 3, Unicode). Built by CMake from the 32-bit release build:
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.0.0 -DBUILD=<build folder> -DSOURCE=<source folder> -DOUTFILE=<setup.exe>
; Silent use: setup.exe /S [/WORKDIR=folder] [/SIMULATOR] [/NODESKTOP] [/D=program folder]
; The working folder holds the user's skalenor.cfg and the Data recordings: the installer only ever adds the demo
; configuration there when none exists, and the uninstaller never touches that folder.

Unicode true
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"

!ifndef VERSION | BUILD | SOURCE | OUTFILE
  !error "define VERSION, BUILD, SOURCE and OUTFILE"
!endif

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Skalenor"
!define DRIVERS "SOFTWARE\Tarvelin"

Name "Skalenor ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Skalenor"
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"
RequestExecutionLevel admin
BrandingText "Skalenor ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1049 "ProductName" "Skalenor"
VIAddVersionKey /LANG=1049 "FileDescription" "Skalenor ${VERSION} setup"
VIAddVersionKey /LANG=1049 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "LegalCopyright" "Skalenor"

Var WorkDir

!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
; Second folder page: where the program runs, keeps skalenor.cfg and writes Data.
!define MUI_DIRECTORYPAGE_VARIABLE $WorkDir
!define MUI_PAGE_HEADER_TEXT "Рабочая папка"
!define MUI_PAGE_HEADER_SUBTEXT "Папка конфигурации skalenor.cfg и записей Data."
!define MUI_DIRECTORYPAGE_TEXT_TOP "Программа запускается в этой папке: здесь её конфигурация skalenor.cfg и папка записей Data. Если skalenor.cfg в папке уже есть, он не заменяется; иначе сюда кладётся демонстрационная конфигурация."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Рабочая папка"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

Section "Программа" SecMain
  SectionIn RO
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${BUILD}/skalenor.exe"
  File "${BUILD}/skalenor-view.exe"
  File "${BUILD}/tools/export/skalenor-export.exe"
  File "${BUILD}/tools/config/skalenor-config.exe"
  File "${SOURCE}/README.md"
  SetOutPath "$INSTDIR\docs"
  File "${SOURCE}/docs/guide.md"
  File "${SOURCE}/docs/*.png"

  CreateDirectory "$WorkDir"
  ${IfNot} ${FileExists} "$WorkDir\skalenor.cfg"
    SetOutPath "$WorkDir"
    File "/oname=skalenor.cfg" "${SOURCE}/demo/skalenor.cfg"
  ${EndIf}

  ; Shortcuts take the current output folder as their working folder.
  SetOutPath "$WorkDir"
  CreateDirectory "$SMPROGRAMS\Skalenor"
  CreateShortCut "$SMPROGRAMS\Skalenor\Skalenor.lnk" "$INSTDIR\skalenor.exe"
  CreateShortCut "$SMPROGRAMS\Skalenor\Просмотр записей.lnk" "$INSTDIR\skalenor-view.exe"
  CreateShortCut "$SMPROGRAMS\Skalenor\Руководство.lnk" "$WINDIR\notepad.exe" '"$INSTDIR\docs\guide.md"'
  CreateShortCut "$SMPROGRAMS\Skalenor\Удалить Skalenor.lnk" "$INSTDIR\uninstall.exe"

  ; Recordings open in the viewer.
  WriteRegStr HKCR ".qmr" "" "Skalenor.Recording"
  WriteRegStr HKCR "Skalenor.Recording" "" "Запись Skalenor"
  WriteRegStr HKCR "Skalenor.Recording\DefaultIcon" "" "$INSTDIR\skalenor-view.exe,0"
  WriteRegStr HKCR "Skalenor.Recording\shell\open\command" "" '"$INSTDIR\skalenor-view.exe" "%1"'

  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "Skalenor ${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\skalenor.exe"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "WorkingFolder" "$WorkDir"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
SectionEnd

Section "Ярлык на рабочем столе" SecDesktop
  SetShellVarContext all
  SetOutPath "$WorkDir"
  CreateShortCut "$DESKTOP\Skalenor.lnk" "$INSTDIR\skalenor.exe"
SectionEnd

; Registers the simulated boards only under driver keys that are free: a real board's driver stays as it is.
; What was written is remembered, so the uninstaller removes only that.
!macro RegisterDriver KEY FLAG
  ReadRegStr $0 HKLM "${DRIVERS}\${KEY}" "path"
  ${If} $0 == ""
    WriteRegStr HKLM "${DRIVERS}\${KEY}" "path" "$INSTDIR\kvsim.dll"
    WriteRegDWORD HKLM "${UNINST_KEY}" "${FLAG}" 1
  ${ElseIf} $0 != "$INSTDIR\kvsim.dll"
    MessageBox MB_ICONINFORMATION "Драйвер уже зарегистрирован ($0); симулятор для него не зарегистрирован." /SD IDOK
  ${EndIf}
!macroend

Section /o "Симулятор плат KV310/KV320 (работа без платы)" SecSim
  SetOutPath "$INSTDIR"
  File "${BUILD}/sim/kvsim.dll"
  File "/oname=simulator.md" "${SOURCE}/sim/README.md"
  !insertmacro RegisterDriver "Drivers\1.0\KV320E" "WroteKV320E"
  !insertmacro RegisterDriver "Base library\1.0\LABUtility" "WroteLABUtility"
SectionEnd

Function .onInit
  ; A reinstall keeps the working folder the shortcuts already start in.
  ReadRegStr $WorkDir HKLM "${UNINST_KEY}" "WorkingFolder"
  ${If} $WorkDir == ""
    StrCpy $WorkDir "$DOCUMENTS\Skalenor"
  ${EndIf}
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/WORKDIR=" $R1
  ${IfNot} ${Errors}
    StrCpy $WorkDir $R1
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/SIMULATOR" $R1
  ${IfNot} ${Errors}
    SectionSetFlags ${SecSim} ${SF_SELECTED}
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/NODESKTOP" $R1
  ${IfNot} ${Errors}
    SectionSetFlags ${SecDesktop} 0
  ${EndIf}
FunctionEnd

!macro UnregisterDriver KEY FLAG
  ReadRegDWORD $0 HKLM "${UNINST_KEY}" "${FLAG}"
  ReadRegStr $1 HKLM "${DRIVERS}\${KEY}" "path"
  ${If} $0 = 1
  ${AndIf} $1 == "$INSTDIR\kvsim.dll"
    DeleteRegValue HKLM "${DRIVERS}\${KEY}" "path"
    DeleteRegKey /ifempty HKLM "${DRIVERS}\${KEY}"
  ${EndIf}
!macroend

Section "Uninstall"
  SetShellVarContext all
  !insertmacro UnregisterDriver "Drivers\1.0\KV320E" "WroteKV320E"
  !insertmacro UnregisterDriver "Base library\1.0\LABUtility" "WroteLABUtility"
  DeleteRegKey /ifempty HKLM "${DRIVERS}\Drivers\1.0"
  DeleteRegKey /ifempty HKLM "${DRIVERS}\Drivers"
  DeleteRegKey /ifempty HKLM "${DRIVERS}\Base library\1.0"
  DeleteRegKey /ifempty HKLM "${DRIVERS}\Base library"
  DeleteRegKey /ifempty HKLM "${DRIVERS}"

  Delete "$DESKTOP\Skalenor.lnk"
  Delete "$SMPROGRAMS\Skalenor\Skalenor.lnk"
  Delete "$SMPROGRAMS\Skalenor\Просмотр записей.lnk"
  Delete "$SMPROGRAMS\Skalenor\Руководство.lnk"
  Delete "$SMPROGRAMS\Skalenor\Удалить Skalenor.lnk"
  RMDir "$SMPROGRAMS\Skalenor"

  ; ".qmr" only while it still names our viewer.
  ReadRegStr $0 HKCR ".qmr" ""
  ${If} $0 == "Skalenor.Recording"
    DeleteRegKey HKCR ".qmr"
  ${EndIf}
  DeleteRegKey HKCR "Skalenor.Recording"

  Delete "$INSTDIR\skalenor.exe"
  Delete "$INSTDIR\skalenor-view.exe"
  Delete "$INSTDIR\skalenor-export.exe"
  Delete "$INSTDIR\skalenor-config.exe"
  Delete "$INSTDIR\README.md"
  Delete "$INSTDIR\kvsim.dll"
  Delete "$INSTDIR\simulator.md"
  Delete "$INSTDIR\docs\guide.md"
  Delete "$INSTDIR\docs\*.png"
  RMDir "$INSTDIR\docs"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd
