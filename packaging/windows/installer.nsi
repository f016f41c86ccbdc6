; The Windows installer of 岚栖种子搜索神器, made by makensis from the build (cmake/windows-packages.cmake):
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.9 -DVERSION_QUAD=1.9.0.0 -DSTAGE=<folder> -DICON=<.ico>
;            -DOUTFILE=<setup.exe> installer.nsi
; STAGE holds the files as they are installed: bin\lanqi-search.exe, bin\lanqi-cli.exe,
; share\lanqi-search\sites\site1.toml .. site6.toml and README-windows.txt.
;
; Two ways to install, chosen on the installer's first page after the welcome (or /AllUsers, /CurrentUser):
; - for every user (the default for an administrator): the programs in Program Files (a folder name that any tool
;   can type), the Start-menu entries for all users and the uninstall entry under HKLM;
; - for this user only, with no administrator: the programs in %LOCALAPPDATA%\Programs\lanqi-search, this user's
;   Start menu and the uninstall entry under HKCU.
; The settings stay with each user in %APPDATA%\lanqi-search; neither the installer nor the uninstaller touches
; them. The uninstaller removes the values the installer and the program wrote, one by one, and a key only once
; nothing else is left in it.
;
; A 64-bit installer for the 64-bit programs: it sees Program Files and the registry as they are, without the
; WOW64 redirection of a 32-bit one. /S installs silently (for every user when it may, else for this user),
; /D=FOLDER (last on the command line) picks the folder; the uninstall entry's command removes silently with /S.

!ifndef VERSION | VERSION_QUAD | STAGE | ICON | OUTFILE
  !error "makensis needs -DVERSION, -DVERSION_QUAD, -DSTAGE, -DICON and -DOUTFILE (cmake/windows-packages.cmake passes them)"
!endif

Target amd64-unicode
Unicode true
SetCompressor /SOLID lzma
ManifestDPIAware true

!define PRODUCT "岚栖种子搜索神器"
!define PUBLISHER "岚栖工作室"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\lanqi-search"
!define EMULATION_KEY "Software\Microsoft\Internet Explorer\Main\FeatureControl\FEATURE_BROWSER_EMULATION"
!define MENU_FOLDER "$SMPROGRAMS\${PRODUCT}"

Name "${PRODUCT}" "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "${PUBLISHER}"

; Asks for an administrator when the user is one (then both ways are open), and runs as the user otherwise.
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "lanqi-search"
; A second installation (a newer version) goes the way and where the first one went.
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallLocation"
!include "MultiUser.nsh"
!include "MUI2.nsh"
!include "FileFunc.nsh"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README-windows.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED

!insertmacro MUI_PAGE_WELCOME
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

VIProductVersion "${VERSION_QUAD}"
VIFileVersion "${VERSION_QUAD}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileDescription" "${PRODUCT} ${VERSION} 安装程序"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "LegalCopyright" "${PUBLISHER}"

; The way of installing decides SHCTX (HKLM or HKCU) and the shell folders ($SMPROGRAMS) from here on.
Function .onInit
  !insertmacro MULTIUSER_INIT
FunctionEnd

Function un.onInit
  !insertmacro MULTIUSER_UNINIT
FunctionEnd

; The option that makes the uninstaller remove the installation it belongs to.
!macro INSTALL_MODE_OPTION OUT
  ${If} $MultiUser.InstallMode == "AllUsers"
    StrCpy ${OUT} "/AllUsers"
  ${Else}
    StrCpy ${OUT} "/CurrentUser"
  ${EndIf}
!macroend

Section "${PRODUCT}" SectionProgram
  SectionIn RO

  ; The programs find the installed site definitions in ..\share\lanqi-search\sites from their own folder.
  SetOutPath "$INSTDIR\bin"
  File "${STAGE}/bin/lanqi-search.exe"
  File "${STAGE}/bin/lanqi-cli.exe"
  SetOutPath "$INSTDIR\share\lanqi-search\sites"
  File "${STAGE}/share/lanqi-search/sites/site1.toml"
  File "${STAGE}/share/lanqi-search/sites/site2.toml"
  File "${STAGE}/share/lanqi-search/sites/site3.toml"
  File "${STAGE}/share/lanqi-search/sites/site4.toml"
  File "${STAGE}/share/lanqi-search/sites/site5.toml"
  File "${STAGE}/share/lanqi-search/sites/site6.toml"
  SetOutPath "$INSTDIR"
  File "${STAGE}/README-windows.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The shortcut starts the client in its own folder.
  SetOutPath "$INSTDIR\bin"
  CreateDirectory "${MENU_FOLDER}"
  CreateShortcut "${MENU_FOLDER}\${PRODUCT}.lnk" "$INSTDIR\bin\lanqi-search.exe"
  CreateShortcut "${MENU_FOLDER}\卸载${PRODUCT}.lnk" "$INSTDIR\uninstall.exe"

  !insertmacro INSTALL_MODE_OPTION $3
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\bin\lanqi-search.exe"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" $3'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" $3 /S'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "URLInfoAbout" "https://www.lanqi-studio.example/"
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

; Removes what the installer put in place, file by file: anything else in the folder (and the users'
; settings in %APPDATA%) stays, and a folder goes only once it is empty.
Section "Uninstall"
  Delete "$INSTDIR\bin\lanqi-search.exe"
  Delete "$INSTDIR\bin\lanqi-cli.exe"
  RMDir "$INSTDIR\bin"
  Delete "$INSTDIR\share\lanqi-search\sites\site1.toml"
  Delete "$INSTDIR\share\lanqi-search\sites\site2.toml"
  Delete "$INSTDIR\share\lanqi-search\sites\site3.toml"
  Delete "$INSTDIR\share\lanqi-search\sites\site4.toml"
  Delete "$INSTDIR\share\lanqi-search\sites\site5.toml"
  Delete "$INSTDIR\share\lanqi-search\sites\site6.toml"
  RMDir "$INSTDIR\share\lanqi-search\sites"
  RMDir "$INSTDIR\share\lanqi-search"
  RMDir "$INSTDIR\share"
  Delete "$INSTDIR\README-windows.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  Delete "${MENU_FOLDER}\${PRODUCT}.lnk"
  Delete "${MENU_FOLDER}\卸载${PRODUCT}.lnk"
  RMDir "${MENU_FOLDER}"

  ; The values written above, one by one: a key goes only once it is empty (another tool may keep its own
  ; values there).
  DeleteRegValue SHCTX "${UNINSTALL_KEY}" "DisplayName"
  DeleteRegValue SHCTX "${UNINSTALL_KEY}" "DisplayVersion"
  DeleteRegValue SHCTX "${UNINSTALL_KEY}" "Publisher"
  DeleteRegValue SHCTX "${UNINSTALL_KEY}" "DisplayIcon"
  DeleteRegValue SHCTX "${UNINSTALL_KEY}" "InstallLocation"
  DeleteRegValue SHCTX "${UNINSTALL_KEY}" "UninstallString"
  DeleteRegValue SHCTX "${UNINSTALL_KEY}" "QuietUninstallString"
  DeleteRegValue SHCTX "${UNINSTALL_KEY}" "URLInfoAbout"
  DeleteRegValue SHCTX "${UNINSTALL_KEY}" "NoModify"
  DeleteRegValue SHCTX "${UNINSTALL_KEY}" "NoRepair"
  DeleteRegValue SHCTX "${UNINSTALL_KEY}" "EstimatedSize"
  DeleteRegKey /ifempty SHCTX "${UNINSTALL_KEY}"
  ; The client asks the browser control for the engine's standards mode for itself, for the user who runs it:
  ; that value goes for the user who uninstalls; the key is Internet Explorer's and stays.
  DeleteRegValue HKCU "${EMULATION_KEY}" "lanqi-search.exe"
SectionEnd
