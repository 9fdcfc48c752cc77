; The Windows installer, made by scripts/package-windows.sh with
;   makensis -INPUTCHARSET UTF8 -DVERSION=x.y.z -DSTAGE=folder -DOUTFILE=file
;            [-DWITH_WINDOW] pindlewick.nsi
; STAGE holds the programs and README.txt; WITH_WINDOW says that
; pindlewick.exe is among them.
; A 64-bit installer for 64-bit programs: it writes to the 64-bit Program
; Files and registry view, and runs under a 64-bit-only Wine.
Target amd64-unicode
SetCompressor /SOLID lzma

!include MUI2.nsh

!define PRODUCT "Pindlewick"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
RequestExecutionLevel admin
ManifestDPIAware true

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=0 "LegalCopyright" "${PRODUCT}"

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!ifdef WITH_WINDOW
  !define MUI_FINISHPAGE_RUN "$INSTDIR\pindlewick.exe"
!endif
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README.txt"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; The first language is the fallback when Windows' own is neither.
!insertmacro MUI_LANGUAGE "SimpChinese"
!insertmacro MUI_LANGUAGE "English"

Section "Install"
  SetOutPath "$INSTDIR"
  File "${STAGE}/pindlewick-cli.exe"
  File "${STAGE}/README.txt"
  !ifdef WITH_WINDOW
    File "${STAGE}/pindlewick.exe"
  !endif
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; Shortcuts for every user; the command prompt starts in the programs'
  ; folder (the output path), where pindlewick-cli.exe runs by its name.
  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  !ifdef WITH_WINDOW
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\pindlewick.exe"
  !endif
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT} 命令行.lnk" "$SYSDIR\cmd.exe" \
    "/k pindlewick-cli.exe --help" "$SYSDIR\cmd.exe" 0
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\README.lnk" "$INSTDIR\README.txt"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  !ifdef WITH_WINDOW
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\pindlewick.exe"
  !endif
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Removes exactly what the installer put there, so a folder the user chose
; keeps anything else it holds.
Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT} 命令行.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\README.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"

  Delete "$INSTDIR\pindlewick.exe"
  Delete "$INSTDIR\pindlewick-cli.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
