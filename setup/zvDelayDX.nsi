; The setup program of zvDelayDX: a 64-bit setup built with makensis.
;
; makensis -DVERSION=1.2.3.4 -DDLL=... -DCHM=... -DINI=... -DCLAP=... [-DVST3=...] -DOUTFILE=... zvDelayDX.nsi
;   VERSION  the version of the DLL's version record (resources/Version.h)
;   DLL      the plug-in library, zvDelayDX.dll
;   CHM      the help file, TavrinzvDelay.chm
;   INI      the factory preset bank, zvDelayDX.ini
;   CLAP     the CLAP plug-ins for Windows hosts, zvDelay.clap
;   VST3     the VST3 module, zvDelay.vst3 (optional: without it the setup
;            installs no VST3 plug-in)
;   OUTFILE  the setup program to write
;
; What it does, in order (section "Install"):
;   1. an earlier install in another folder is uninstalled by its own
;      uninstaller; a preset file of the user's there is copied over;
;   2. an earlier DLL in the target folder is unregistered;
;   3. the DLL and the help file are copied (replacing earlier ones), and
;      zvDelay.clap into the folder where CLAP hosts look for plug-ins,
;      %CommonProgramFiles%\CLAP ($COMMONFILES64\CLAP; the uninstaller
;      removes it, and the folder when nothing else is in it);
;   4. the factory preset bank: as zvDelayDX.ini when the folder has no
;      preset file, else as zvDelayDX-factory.ini beside the user's file;
;   5. the uninstaller and the uninstall entry are written;
;   6. the DLL is registered with the 64-bit regsvr32;
;   7. "PluginPath" (the folder) is written under the filter's class key,
;      where the preset store looks for its file;
;   8. the VST3 bundle zvDelay.vst3 goes into the shared VST3 folder,
;      %CommonProgramFiles%\VST3, where every VST3 host looks; the
;      uninstaller removes it.
; A file that cannot be written (a host has the DLL loaded) ends the setup
; with the earlier DLL registered again. In silent mode a /D= folder the
; setup cannot use ends it before anything is done.
;
; Which zvDelayDX.ini is the user's: the setup records, in its uninstall
; entry, the fingerprint (size and FNV-1a hash of the bytes) of the factory
; bank it installed as zvDelayDX.ini. The uninstaller removes zvDelayDX.ini
; only when the file still has that fingerprint, i.e. nobody changed it; any
; other zvDelayDX.ini is the user's: the uninstaller asks whether to keep it
; (Yes, the default, keeps it with its folder; a silent uninstall keeps it
; without asking). An existing zvDelayDX.ini is never overwritten by the
; setup.
;
; The wizard: welcome, folder, progress (it stays on the list of what was
; done until Next), finish. The uninstaller: confirmation, progress. Both
; show the product icon (resources/icons/effect.ico), which the uninstall
; entry names too; the welcome and finish pages show wizard.bmp
; (make_wizard_picture.py).
;
; Silent mode: /S, with /D=folder last. Exit codes: 0 success, 1 cancelled,
; 2 aborted, 3 a file could not be written, 4 registration failed,
; 5 a registry value could not be written, 6 not run as an administrator,
; 7 the folder given with /D= cannot be used.

Target amd64-unicode
Unicode true
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!ifndef VERSION | DLL | CHM | INI | CLAP | OUTFILE
  !error "VERSION, DLL, CHM, INI, CLAP and OUTFILE must be defined (-D on the makensis command line)"
!endif

!define PRODUCT "zvDelayDX"
!define COMPANY "Brasquin Tavrin"
!define FILTER_NAME "Tavrin:zv Delay"
!define CLSID_FILTER "{6A1F3B80-D27E-4C95-8E14-3B7D0A5C92E6}"
!define CLSID_PAGE "{6A1F3B81-D27E-4C95-8E14-3B7D0A5C92E6}"
; The filter mapper's default category (DirectShow filters).
!define CLSID_FILTER_CATEGORY "{083863F1-70DE-11D0-BD40-00A0C911CE86}"
!define CLASS_KEY "SOFTWARE\Classes\CLSID\${CLSID_FILTER}"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define PRESET_FILE "zvDelayDX.ini"
!define FACTORY_COPY "zvDelayDX-factory.ini"
!define UNINSTALLER "uninstall.exe"
!define CLAP_FOLDER "$COMMONFILES64\CLAP"
!define CLAP_FILE "zvDelay.clap"
!define VST3_BUNDLE "$COMMONFILES64\VST3\zvDelay.vst3"
!define VST3_MODULE_DIR "${VST3_BUNDLE}\Contents\x86_64-win"

!define ERR_FILE 3
!define ERR_REGISTER 4
!define ERR_REGISTRY 5
!define ERR_NOT_ADMIN 6
!define ERR_FOLDER 7

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"

Name "${PRODUCT} ${VERSION}"
Caption "${PRODUCT} ${VERSION} Setup"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${COMPANY}\${PRODUCT}"
; An upgrade goes to the folder of the earlier install unless told otherwise.
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show
BrandingText "${COMPANY}"

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${COMPANY}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${COMPANY}"

!define MUI_ICON "../resources/icons/effect.ico"
!define MUI_UNICON "../resources/icons/effect.ico"
!define MUI_WELCOMEFINISHPAGE_BITMAP "wizard.bmp"
; Cancel asks first; Enter on that question keeps the setup going.
!define MUI_ABORTWARNING
!define MUI_ABORTWARNING_CANCEL_DEFAULT
!define MUI_WELCOMEPAGE_TEXT "This will install the stereo delay ${PRODUCT} ${VERSION} (${FILTER_NAME}) on your computer.$\r$\n$\r$\nAfter setup, open your audio program and choose $\"${FILTER_NAME}$\" from its DirectX audio effects.$\r$\n$\r$\nPresets you have saved are kept.$\r$\n$\r$\n$_CLICK"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
; The list of what was done stays until the user goes on.
!define MUI_FINISHPAGE_NOAUTOCLOSE
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "${PRODUCT} is installed and registered. Your audio program lists it as $\"${FILTER_NAME}$\" among its DirectX audio effects, or as zvDelay Stereo and zvDelay Mono among its CLAP and VST3 plug-ins."
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; Fails the setup: logs the message, shows it (not in silent mode), sets the
; exit code and stops.
!macro FAIL code message
  DetailPrint "${message}"
  MessageBox MB_OK|MB_ICONSTOP "${message}" /SD IDOK
  SetErrorLevel ${code}
  Abort "${message}"
!macroend

; Runs a program and waits for it: $0 its exit code, "error" when it did not
; start. The list of what was done gets no "Execute:" line with the whole
; command (cut off at the list's edge): the line before says what it does.
!macro EXEC_QUIET command
  StrCpy $0 error
  SetDetailsPrint none
  ExecWait '${command}' $0
  SetDetailsPrint lastused
!macroend

; Copies one file of the package into the output folder, replacing an
; earlier one; shownFolder names that folder in the messages. A file that
; cannot be written (a DLL loaded by a running host) may be retried;
; otherwise the earlier install is registered again as it was and the setup
; fails.
!macro INSTALL_FILE_AS source name shownFolder
  !define LABEL_RETRY retry_${__COUNTER__}
  ${LABEL_RETRY}:
  ClearErrors
  File "/oname=${name}" "${source}"
  ${If} ${Errors}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Cannot write ${shownFolder}\${name}.$\r$\nClose every program that uses ${PRODUCT} and retry." /SD IDCANCEL IDRETRY ${LABEL_RETRY}
    Call RestoreRegistration
    !insertmacro FAIL ${ERR_FILE} "Cannot write ${shownFolder}\${name}."
  ${EndIf}
  !undef LABEL_RETRY
!macroend
!macro INSTALL_FILE source name
  !insertmacro INSTALL_FILE_AS "${source}" "${name}" "$INSTDIR"
!macroend

; Set when the setup has unregistered the DLL of an earlier install in
; $INSTDIR; a failed upgrade then registers it again, with its PluginPath.
Var Unregistered
Function RestoreRegistration
  ${If} $Unregistered == 1
  ${AndIf} ${FileExists} "$INSTDIR\zvDelayDX.dll"
    DetailPrint "Registering the earlier zvDelayDX.dll again"
    !insertmacro EXEC_QUIET '"$SYSDIR\regsvr32.exe" /s "$INSTDIR\zvDelayDX.dll"'
    ${If} $0 == 0
      WriteRegStr HKLM "${CLASS_KEY}" "PluginPath" "$INSTDIR"
    ${EndIf}
  ${EndIf}
FunctionEnd

; The fingerprint of a file, "size:hash" (FNV-1a, 32 bits, over every byte),
; or "" when the file cannot be read. In: $R0 the path. Out: $R0.
!macro FINGERPRINT_FUNCTION prefix
Function ${prefix}Fingerprint
  Push $0
  Push $1
  Push $2
  Push $3
  ClearErrors
  FileOpen $0 $R0 r
  ${If} ${Errors}
    StrCpy $R0 ""
  ${Else}
    IntOp $1 0x811C9DC5 + 0
    StrCpy $2 0
    ${Do}
      FileReadByte $0 $3
      ${If} ${Errors}
        ${ExitDo}
      ${EndIf}
      IntOp $1 $1 ^ $3
      IntOp $1 $1 * 16777619
      IntOp $2 $2 + 1
    ${Loop}
    FileClose $0
    IntFmt $1 "%08X" $1
    StrCpy $R0 "$2:$1"
  ${EndIf}
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro FINGERPRINT_FUNCTION ""
!insertmacro FINGERPRINT_FUNCTION "un."

; Paths compared in their short form, so that "C:\Program Files" and
; "C:\PROGRA~1" are the same folder. In: $R0, $R1. Out: $R0 "1" or "0".
!macro SAME_PATH_FUNCTION prefix
Function ${prefix}SamePath
  Push $R1
  GetFullPathName /SHORT $R0 $R0
  GetFullPathName /SHORT $R1 $R1
  ${If} $R0 != ""
  ${AndIf} $R0 == $R1
    StrCpy $R0 1
  ${Else}
    StrCpy $R0 0
  ${EndIf}
  Pop $R1
FunctionEnd
!macroend
!insertmacro SAME_PATH_FUNCTION ""
!insertmacro SAME_PATH_FUNCTION "un."

!macro REQUIRE_ADMIN
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "admin"
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} setup needs administrator rights." /SD IDOK
    SetErrorLevel ${ERR_NOT_ADMIN}
    Quit
  ${EndIf}
!macroend

Function .onInit
  SetRegView 64
  !insertmacro REQUIRE_ADMIN
FunctionEnd

; The folder given with /D= on the command line, "" without one. The setup
; replaces a folder it cannot use (a path through a file, say) by its
; default without a word; in silent mode the install section compares the
; two and fails rather than install elsewhere.
Var RequestedDir
Function ReadRequestedDir
  StrCpy $RequestedDir ""
  System::Call 'kernel32::GetCommandLineW() t .r0'
  StrLen $1 $0
  ${Do}
    IntOp $1 $1 - 1
    ${If} $1 < 0
      ${ExitDo}
    ${EndIf}
    StrCpy $2 $0 4 $1
    ${If} $2 == " /D="
      IntOp $1 $1 + 4
      StrCpy $RequestedDir $0 "" $1
      ${ExitDo}
    ${EndIf}
  ${Loop}
  ; Without trailing backslashes, as $INSTDIR is.
  ${Do}
    StrLen $1 $RequestedDir
    StrCpy $2 $RequestedDir 1 -1
    ${If} $1 <= 3
    ${OrIf} $2 != "\"
      ${ExitDo}
    ${EndIf}
    StrCpy $RequestedDir $RequestedDir -1
  ${Loop}
FunctionEnd

Function un.onInit
  SetRegView 64
  !insertmacro REQUIRE_ADMIN
FunctionEnd

Section "Install"
  SetRegView 64
  ; Earlier files are replaced; one that cannot be written sets the error
  ; flag (no built-in prompt), and INSTALL_FILE decides.
  SetOverwrite try

  Call ReadRequestedDir
  ${If} ${Silent}
  ${AndIf} $RequestedDir != ""
  ${AndIf} $RequestedDir != $INSTDIR
    !insertmacro FAIL ${ERR_FOLDER} "Cannot install into $RequestedDir."
  ${EndIf}

  ; 1. An earlier install in another folder: its uninstaller removes it
  ;    (and keeps a preset file of the user's, which is copied here).
  ReadRegStr $R2 HKLM "${UNINST_KEY}" "InstallLocation"
  StrCpy $R0 $R2
  StrCpy $R1 $INSTDIR
  Call SamePath
  ${If} $R2 != ""
  ${AndIf} $R0 == 0
  ${AndIf} ${FileExists} "$R2\${UNINSTALLER}"
    DetailPrint "Removing the earlier install in $R2"
    !insertmacro EXEC_QUIET '"$R2\${UNINSTALLER}" /S _?=$R2'
    DetailPrint "Earlier uninstaller finished: $0"
    Delete "$R2\${UNINSTALLER}"
    ${If} ${FileExists} "$R2\${PRESET_FILE}"
    ${AndIfNot} ${FileExists} "$INSTDIR\${PRESET_FILE}"
      DetailPrint "Copying your presets from $R2"
      CreateDirectory "$INSTDIR"
      ClearErrors
      CopyFiles /SILENT "$R2\${PRESET_FILE}" "$INSTDIR"
      ${If} ${Errors}
        !insertmacro FAIL ${ERR_FILE} "Cannot copy your presets from $R2\${PRESET_FILE} to $INSTDIR."
      ${EndIf}
    ${EndIf}
    RMDir "$R2"
    ${GetParent} "$R2" $R3
    ${If} $R3 == "$PROGRAMFILES64\${COMPANY}"
      RMDir "$R3"
    ${EndIf}
  ${ElseIf} $R2 != ""
  ${AndIf} $R0 == 0
    ; The entry of an install that is gone: its records say nothing here.
    DeleteRegKey HKLM "${UNINST_KEY}"
  ${EndIf}

  ; 2. An earlier DLL here: unregistered first, so that its keys go and the
  ;    new DLL writes its own.
  StrCpy $Unregistered 0
  ${If} ${FileExists} "$INSTDIR\zvDelayDX.dll"
  ${AndIfNot} ${FileExists} "$INSTDIR\zvDelayDX.dll\*.*"
    DetailPrint "Unregistering the earlier zvDelayDX.dll"
    !insertmacro EXEC_QUIET '"$SYSDIR\regsvr32.exe" /u /s "$INSTDIR\zvDelayDX.dll"'
    StrCpy $Unregistered 1
  ${EndIf}

  ; 3. The library and the help file.
  SetDetailsPrint none
  SetOutPath "$INSTDIR"
  SetDetailsPrint lastused
  !insertmacro INSTALL_FILE "${DLL}" "zvDelayDX.dll"
  !insertmacro INSTALL_FILE "${CHM}" "TavrinzvDelay.chm"
  ; The CLAP plug-ins where CLAP hosts look (the folder made if needed).
  SetDetailsPrint none
  SetOutPath "${CLAP_FOLDER}"
  SetDetailsPrint lastused
  !insertmacro INSTALL_FILE_AS "${CLAP}" "${CLAP_FILE}" "${CLAP_FOLDER}"
  SetDetailsPrint none
  SetOutPath "$INSTDIR"
  SetDetailsPrint lastused

  ; 4. The factory preset bank, never over a preset file that is there.
  ${If} ${FileExists} "$INSTDIR\${PRESET_FILE}"
    DetailPrint "Keeping your preset file ${PRESET_FILE}"
    !insertmacro INSTALL_FILE "${INI}" "${FACTORY_COPY}"
    WriteRegDWORD HKLM "${UNINST_KEY}" "FactoryCopyInstalled" 1
  ${Else}
    !insertmacro INSTALL_FILE "${INI}" "${PRESET_FILE}"
    StrCpy $R0 "$INSTDIR\${PRESET_FILE}"
    Call Fingerprint
    WriteRegStr HKLM "${UNINST_KEY}" "PresetFileFingerprint" "$R0"
  ${EndIf}

  ; 5. The uninstaller and its entry.
  ClearErrors
  SetDetailsPrint none
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  SetDetailsPrint lastused
  ${If} ${Errors}
    !insertmacro FAIL ${ERR_FILE} "Cannot write $INSTDIR\${UNINSTALLER}."
  ${EndIf}
  ${GetSize} "$INSTDIR" "/S=0K /G=0" $R4 $1 $2
  ClearErrors
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT} (${FILTER_NAME})"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${COMPANY}"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\${UNINSTALLER},0"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $R4
  ${If} ${Errors}
    !insertmacro FAIL ${ERR_REGISTRY} "Cannot write the uninstall entry."
  ${EndIf}

  ; 6. Registration, as regsvr32 does it (the 64-bit regsvr32: this setup
  ;    is a 64-bit program, so System32 is not redirected).
  DetailPrint "Registering zvDelayDX.dll"
  !insertmacro EXEC_QUIET '"$SYSDIR\regsvr32.exe" /s "$INSTDIR\zvDelayDX.dll"'
  ${If} $0 != 0
    !insertmacro FAIL ${ERR_REGISTER} "Registering $INSTDIR\zvDelayDX.dll failed ($0)."
  ${EndIf}

  ; 7. Where the preset store finds its file. Written after registration,
  ;    which (re)creates the class key.
  ClearErrors
  WriteRegStr HKLM "${CLASS_KEY}" "PluginPath" "$INSTDIR"
  ${If} ${Errors}
    !insertmacro FAIL ${ERR_REGISTRY} "Cannot write HKLM\${CLASS_KEY}\PluginPath."
  ${EndIf}

  ; 8. The VST3 bundle, in the folder every VST3 host searches.
!ifdef VST3
  SetDetailsPrint none
  SetOutPath "${VST3_MODULE_DIR}"
  SetDetailsPrint lastused
  !insertmacro INSTALL_FILE_AS "${VST3}" "zvDelay.vst3" "${VST3_MODULE_DIR}"
  SetDetailsPrint none
  SetOutPath "$INSTDIR"
  SetDetailsPrint lastused
!endif
  DetailPrint "${PRODUCT} ${VERSION} is installed in $INSTDIR"
SectionEnd

Section "Uninstall"
  SetRegView 64

  ; Unregister, unless the class is registered to a copy elsewhere (then
  ; that copy keeps its registration). Unregistering removes the class keys
  ; with "PluginPath" in them; what remains (a failed unregistration, a
  ; registration already gone) is removed below.
  ReadRegStr $R2 HKLM "${CLASS_KEY}\InprocServer32" ""
  StrCpy $R0 $R2
  StrCpy $R1 "$INSTDIR\zvDelayDX.dll"
  Call un.SamePath
  ${If} $R0 == 1
  ${OrIf} $R2 == ""
  ${OrIfNot} ${FileExists} "$R2"
    ${If} ${FileExists} "$INSTDIR\zvDelayDX.dll"
      DetailPrint "Unregistering zvDelayDX.dll"
      !insertmacro EXEC_QUIET '"$SYSDIR\regsvr32.exe" /u /s "$INSTDIR\zvDelayDX.dll"'
    ${EndIf}
    DeleteRegKey HKLM "SOFTWARE\Classes\CLSID\${CLSID_FILTER_CATEGORY}\Instance\${CLSID_FILTER}"
    DeleteRegKey HKLM "SOFTWARE\Classes\Filter\${CLSID_FILTER}"
    DeleteRegKey HKLM "SOFTWARE\Classes\CLSID\${CLSID_PAGE}"
    DeleteRegKey HKLM "${CLASS_KEY}"
  ${Else}
    DetailPrint "Keeping the registration of $R2"
    DeleteRegValue HKLM "${CLASS_KEY}" "PluginPath"
  ${EndIf}

  Delete /REBOOTOK "$INSTDIR\zvDelayDX.dll"
  Delete /REBOOTOK "$INSTDIR\TavrinzvDelay.chm"
  ; The CLAP plug-ins, and their folder when nothing else is in it (the
  ; full path would not fit the list of what was done).
  SetDetailsPrint none
  Delete /REBOOTOK "${CLAP_FOLDER}\${CLAP_FILE}"
  RMDir "${CLAP_FOLDER}"
  SetDetailsPrint lastused
  DetailPrint "Removed the CLAP plug-ins (${CLAP_FILE})"
  ReadRegDWORD $0 HKLM "${UNINST_KEY}" "FactoryCopyInstalled"
  ${If} $0 == 1
    Delete "$INSTDIR\${FACTORY_COPY}"
  ${EndIf}
  ; The preset file goes without a question only while it is the factory
  ; bank this setup put there, unchanged; otherwise it holds the user's
  ; presets, which stay unless the user says to delete them.
  ReadRegStr $R1 HKLM "${UNINST_KEY}" "PresetFileFingerprint"
  StrCpy $R0 "$INSTDIR\${PRESET_FILE}"
  Call un.Fingerprint
  ${If} $R1 != ""
  ${AndIf} $R0 == $R1
    Delete "$INSTDIR\${PRESET_FILE}"
  ${ElseIf} $R0 != ""
    ${If} ${Cmd} `MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON1 "Keep your presets?$\r$\n$\r$\n$INSTDIR\${PRESET_FILE} holds presets you have saved. Yes keeps this file and its folder; No deletes it." /SD IDYES IDNO`
      Delete "$INSTDIR\${PRESET_FILE}"
      DetailPrint "Deleted your presets: $INSTDIR\${PRESET_FILE}"
    ${Else}
      DetailPrint "Keeping your presets: $INSTDIR\${PRESET_FILE}"
    ${EndIf}
  ${EndIf}

  ; The VST3 bundle, and its folders once empty (never the shared VST3
  ; folder). One short line in the list (the paths would not fit).
  DetailPrint "Removing the VST3 plug-in zvDelay.vst3"
  SetDetailsPrint none
  Delete /REBOOTOK "${VST3_MODULE_DIR}\zvDelay.vst3"
  RMDir "${VST3_MODULE_DIR}"
  RMDir "${VST3_BUNDLE}\Contents"
  RMDir "${VST3_BUNDLE}"
  SetDetailsPrint lastused

  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
  ${GetParent} "$INSTDIR" $R3
  ${If} $R3 == "$PROGRAMFILES64\${COMPANY}"
    RMDir "$R3"
  ${EndIf}
  DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd
