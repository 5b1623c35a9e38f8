; The 64-bit Windows installer (Debian's makensis builds it on Linux; scripts/package.sh runs it).
; Defines from the command line: VERSION, VERSION_QUAD (four numbers), STAGE (the folder `cmake --install` filled), OUTFILE,
; ICON, COPYRIGHT, and CONFIGURATOR when the window was built.
; Per-machine into Program Files; the window in the Start menu; the install folder on the machine's
; PATH as an optional component (on by default, also with /S). The uninstaller takes away every file,
; the shortcut, the PATH entry and the registry keys. /S installs and uninstalls silently.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "WinMessages.nsh"

!define PRODUCT "ПО Конфигуратор"
!define PRODUCT_KEY "Software\LUM Configurator"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\LUM Configurator"
!define ENVIRONMENT_KEY "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\LUM Configurator"
InstallDirRegKey HKLM "${PRODUCT_KEY}" "InstallDir"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION_QUAD}"
VIAddVersionKey /LANG=1049 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1049 "FileDescription" "Установка ${PRODUCT} ${VERSION}"
VIAddVersionKey /LANG=1049 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "LegalCopyright" "LUM Configurator maintainers"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

; The longest PATH this installer edits: NSIS strings hold 1024 characters, and a longer value would
; come back cut. Such a PATH is left as it is.
!define PATH_LIMIT 1000

; DropPathEntry: $R0 a PATH value, $R1 a folder; $R2 becomes $R0 without the entries equal to $R1
; (compared without case, as Windows compares paths) and without empty entries.
!macro DROP_PATH_ENTRY prefix
Function ${prefix}DropPathEntry
  Push $R3
  Push $R4
  Push $R5
  StrCpy $R2 ""
  StrCpy $R3 ""
  StrCpy $R4 0
  ${Do}
    StrCpy $R5 $R0 1 $R4
    ${If} $R5 == ";"
    ${OrIf} $R5 == ""
      ${If} $R3 != ""
      ${AndIf} $R3 != $R1
        ${If} $R2 == ""
          StrCpy $R2 $R3
        ${Else}
          StrCpy $R2 "$R2;$R3"
        ${EndIf}
      ${EndIf}
      StrCpy $R3 ""
      ${IfThen} $R5 == "" ${|} ${ExitDo} ${|}
    ${Else}
      StrCpy $R3 "$R3$R5"
    ${EndIf}
    IntOp $R4 $R4 + 1
  ${Loop}
  Pop $R5
  Pop $R4
  Pop $R3
FunctionEnd
!macroend
!insertmacro DROP_PATH_ENTRY ""
!insertmacro DROP_PATH_ENTRY "un."

Function .onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Программы" SecPrograms
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${STAGE}\lumctl.exe"
!ifdef CONFIGURATOR
  File "${STAGE}\configurator.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\configurator.exe" "" "$INSTDIR\configurator.exe" 0
!endif
  File "/oname=copyright.txt" "${COPYRIGHT}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "${PRODUCT_KEY}" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${PRODUCT_KEY}" "Version" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "LUM Configurator maintainers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
!ifdef CONFIGURATOR
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\configurator.exe"
!endif
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "lumctl.exe в PATH (командная строка)" SecPath
  ReadRegStr $R0 HKLM "${ENVIRONMENT_KEY}" "Path"
  StrLen $0 $R0
  ${If} $0 > ${PATH_LIMIT}
    DetailPrint "PATH длиннее ${PATH_LIMIT} символов, не изменен; добавьте $INSTDIR вручную."
    Return
  ${EndIf}
  StrCpy $R1 "$INSTDIR"
  Call DropPathEntry
  ${If} $R2 == ""
    StrCpy $R2 "$INSTDIR"
  ${Else}
    StrCpy $R2 "$R2;$INSTDIR"
  ${EndIf}
  WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "Path" "$R2"
  WriteRegDWORD HKLM "${PRODUCT_KEY}" "OnPath" 1
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
SectionEnd

Section "Uninstall"
  ReadRegDWORD $0 HKLM "${PRODUCT_KEY}" "OnPath"
  ${If} $0 == 1
    ReadRegStr $R0 HKLM "${ENVIRONMENT_KEY}" "Path"
    StrLen $0 $R0
    ${If} $0 <= ${PATH_LIMIT}
      StrCpy $R1 "$INSTDIR"
      Call un.DropPathEntry
      WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "Path" "$R2"
      SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
    ${Else}
      DetailPrint "PATH длиннее ${PATH_LIMIT} символов, не изменен; уберите $INSTDIR вручную."
    ${EndIf}
  ${EndIf}

  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$INSTDIR\lumctl.exe"
  Delete "$INSTDIR\configurator.exe"
  Delete "$INSTDIR\copyright.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "${PRODUCT_KEY}"
SectionEnd
