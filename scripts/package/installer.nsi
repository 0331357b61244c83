; The installer of Varnix File Opener, for makensis (scripts/package.sh builds it).
;
; makensis -DVERSION=1.0 -DSTAGE=<folder with the program> -DOUTFILE=<setup.exe>
;          [-DWIN64] installer.nsi
;
; The 64-bit package's installer and uninstaller are 64-bit programs themselves, so that
; they run where Windows has no 32-bit subsystem (server images without WoW64, some ARM64
; machines). On a 32-bit Windows, Windows itself refuses to start them.
;
; It installs for the current user only, with no administrator rights: the program goes
; to the user's Programs folder, the Start-menu entry to the user's Start menu and the
; entry under Programs and Features to HKCU. The uninstaller removes exactly what was
; installed; the user's settings stay unless "/RemoveSettings" is given or the user says
; yes when asked.

Unicode true
!ifdef WIN64
  Target amd64-unicode
!endif
SetCompressor /SOLID lzma
RequestExecutionLevel user

!include "MUI2.nsh"
!include "FileFunc.nsh"

!ifdef WIN64
  !define PRODUCT "Varnix File Opener (64-bit)"
  !define UNINSTALL_NAME "VarnixFileOpener64"
!else
  !define PRODUCT "Varnix File Opener"
  !define UNINSTALL_NAME "VarnixFileOpener"
!endif
!define PROGRAM "VarnixFileOpener.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${UNINSTALL_NAME}"
!define SETTINGS_KEY "Software\Varnix FileOpener"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey "LegalCopyright" "Varnix"

!define MUI_ICON "${STAGE}\varnix.ico"
!define MUI_UNICON "${STAGE}\varnix.ico"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\${PROGRAM}"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\ReadMe.txt"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
  SetShellVarContext current
!ifdef WIN64
  ; The uninstall entry and the program's registration in the 64-bit view of the registry.
  SetRegView 64
!endif
FunctionEnd

Section "Program"
  SetOutPath "$INSTDIR"
  File "${STAGE}\${PROGRAM}"
  File "${STAGE}\ReadMe.txt"
  SetOutPath "$INSTDIR\core"
  File "${STAGE}\core\7z.dll"
  File "${STAGE}\core\7z.exe"
  File "${STAGE}\core\License.txt"
  SetOutPath "$INSTDIR"

  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${PROGRAM}"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Varnix"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${PROGRAM},0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" "$0"

  ; The program registers its file types and context-menu verbs itself, in the user's own
  ; classes (HKCU\Software\Classes): without elevation that is all Windows lets it write.
  ExecWait '"$INSTDIR\${PROGRAM}" /Register' $0
  DetailPrint "Registered with the shell for this user (exit code $0)."
SectionEnd

Function un.onInit
  SetShellVarContext current
!ifdef WIN64
  SetRegView 64
!endif
FunctionEnd

Section "Uninstall"
  ; Takes the file types and verbs back while the program is still there.
  IfFileExists "$INSTDIR\${PROGRAM}" 0 +2
    ExecWait '"$INSTDIR\${PROGRAM}" /UnRegister'

  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$INSTDIR\core\7z.dll"
  Delete "$INSTDIR\core\7z.exe"
  Delete "$INSTDIR\core\License.txt"
  RMDir "$INSTDIR\core"
  Delete "$INSTDIR\${PROGRAM}"
  Delete "$INSTDIR\ReadMe.txt"
  Delete "$INSTDIR\Uninstall.exe"
  ; Only when empty: files the user put there stay.
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"

  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/RemoveSettings" $R1
  ${IfNot} ${Errors}
    DeleteRegKey HKCU "${SETTINGS_KEY}"
  ${ElseIfNot} ${Silent}
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
      "Also remove your settings (window place, last folder, column widths)?" IDNO keep
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    keep:
  ${EndIf}
SectionEnd
