; The window program's installer, compiled by scripts/package.sh windows:
;   ISCC.exe /DAppVersion=1.2.3 /DSourceDir=<program folder> /DOutputDir=<folder>
;            /DIconFile=<DMM5174K.ico> setup.iss
; The online update starts it with
;   /SILENT /SUPPRESSMSGBOXES /NORESTART /CLOSEAPPLICATIONS /RELAUNCH=1 [/CURRENTUSER]
; and finds the installation through the uninstall key below (AppId + "_is1",
; value InstallLocation) under HKCU for a per-user installation or HKLM for a
; machine-wide one. The AppId must never change: it is how an update finds
; the installation it replaces.

#ifndef AppVersion
  #error Pass the version: /DAppVersion=1.2.3
#endif
#ifndef SourceDir
  #error Pass the program folder: /DSourceDir=...
#endif
#ifndef OutputDir
  #define OutputDir "."
#endif

#define AppName "ZELMAR DMM-5174K"
#define AppExe "DMM5174K.exe"
#define FileClass "ZELMAR.DMM5174K.zmd"

[Setup]
AppId={{6B2F1E0A-5174-4D2A-9E1C-0D3E5174E429}
AppName={#AppName}
AppVersion={#AppVersion}
AppVerName={#AppName} {#AppVersion}
AppPublisher=ZELMAR
VersionInfoVersion={#AppVersion}
VersionInfoProductName={#AppName}
; Per machine by default; /CURRENTUSER installs for the current user only.
PrivilegesRequired=admin
PrivilegesRequiredOverridesAllowed=commandline
; Chosen in [Code]: the {autopf} constant cannot always be resolved for a
; per-user installation.
DefaultDirName={code:DefaultInstallFolder}
DisableProgramGroupPage=yes
DisableDirPage=auto
ArchitecturesAllowed=x64compatible
ArchitecturesInstallIn64BitMode=x64compatible
OutputDir={#OutputDir}
OutputBaseFilename=ZELMAR_DMM5174K_Setup_{#AppVersion}
#ifdef IconFile
SetupIconFile={#IconFile}
#endif
UninstallDisplayIcon={app}\{#AppExe}
UninstallDisplayName={#AppName}
Compression=lzma2
SolidCompression=yes
WizardStyle=modern
ShowLanguageDialog=auto
LanguageDetectionMethod=uilanguage
ChangesAssociations=yes
CloseApplications=yes
RestartApplications=no

; Traditional Chinese first: chosen on a Chinese Windows; /LANG=zh or
; /LANG=en picks one. The Chinese messages are the project's own.
[Languages]
Name: "zh"; MessagesFile: "ChineseTraditional.isl"
Name: "en"; MessagesFile: "compiler:Default.isl"

[Files]
Source: "{#SourceDir}\{#AppExe}"; DestDir: "{app}"; Flags: ignoreversion
Source: "{#SourceDir}\LICENSE.txt"; DestDir: "{app}"; Flags: ignoreversion
Source: "{#SourceDir}\assets\*"; DestDir: "{app}\assets"; Flags: ignoreversion recursesubdirs
Source: "{#SourceDir}\help\*"; DestDir: "{app}\help"; Flags: ignoreversion recursesubdirs

[Icons]
Name: "{code:ProgramsFolder}\{#AppName}"; Filename: "{app}\{#AppExe}"

; Recordings open in the program from the shell (the program takes the path
; as its argument and hands it to a running instance).
[Registry]
Root: HKA; Subkey: "Software\Classes\.zmd"; ValueType: string; ValueName: ""; ValueData: "{#FileClass}"; Flags: uninsdeletevalue uninsdeletekeyifempty
Root: HKA; Subkey: "Software\Classes\{#FileClass}"; ValueType: string; ValueName: ""; ValueData: "{#AppName} recording"; Flags: uninsdeletekey
Root: HKA; Subkey: "Software\Classes\{#FileClass}\DefaultIcon"; ValueType: string; ValueName: ""; ValueData: "{app}\{#AppExe},0"
Root: HKA; Subkey: "Software\Classes\{#FileClass}\shell\open\command"; ValueType: string; ValueName: ""; ValueData: """{app}\{#AppExe}"" ""%1"""

[Run]
; After an interactive installation, if the user wants it.
Filename: "{app}\{#AppExe}"; Description: "Start {#AppName}"; Flags: nowait postinstall skipifsilent runasoriginaluser
; After an update (/RELAUNCH=1), even a silent one: the program closed itself
; to let the installer replace it.
Filename: "{app}\{#AppExe}"; Flags: nowait runasoriginaluser; Check: RelaunchRequested

[Code]
const
  // The program holds this mutex while it runs; an update starts this
  // installer and then closes the program, which may take a while (a large
  // save). Files are replaced only once it has gone.
  ProgramMutex = 'Local\ZELMAR_DMM5174K_SingleInstance';
  ProgramExitWaitMs = 120000;

function InitializeSetup: Boolean;
var
  Waited: Integer;
begin
  Log('Setup language: ' + ActiveLanguage);
  Waited := 0;
  while CheckForMutexes(ProgramMutex) and (Waited < ProgramExitWaitMs) do
  begin
    if Waited = 0 then
      Log('The program is still running: waiting for it to exit');
    Sleep(250);
    Waited := Waited + 250;
  end;
  Result := not CheckForMutexes(ProgramMutex);
  if Result then
    Log('The program is not running (waited ' + IntToStr(Waited) + ' ms)')
  else
    Log('The program did not exit within ' + IntToStr(ProgramExitWaitMs) + ' ms: nothing was installed');
end;

function DefaultInstallFolder(Param: String): String;
begin
  if IsAdminInstallMode then
    Result := ExpandConstant('{commonpf64}\{#AppName}')
  else
    Result := ExpandConstant('{localappdata}\Programs\{#AppName}');
end;

function ProgramsFolder(Param: String): String;
begin
  if IsAdminInstallMode then
    Result := ExpandConstant('{commonprograms}')
  else
    Result := ExpandConstant('{userprograms}');
end;

function RelaunchRequested: Boolean;
begin
  Result := ExpandConstant('{param:RELAUNCH|0}') = '1';
end;
