#pragma once
// The texts the download control sends with its requests and hands to the
// installer: query, request headers, user agent, version subfolder and the
// installer command line.
#include <windows.h>

#include <string>

// Percent-encodes bytes as the request query needs them: controls, blank,
// '"', '#', '%', ':', '<', '>', '?', '[', '\', ']', '^', '`', '{', '|', '}',
// DEL and every byte from 0x80, with upper-case hex digits; "&" and "=" stay.
std::string PercentEncodeQuery(const std::string& bytes);

// "?userid={<identity, at most 125 characters>}&rand=<rand>", converted to
// the ANSI code page and percent-encoded.
std::wstring BuildQueryString(const std::wstring& hardwareId, const std::wstring& rand);

// The first 8 characters of a new GUID in upper-case hex; empty when no GUID
// can be made.
std::wstring MakeQueryRand();

// The engine's request header list: User-Agent, Pragma and Cache-Control.
std::wstring BuildHeaderJson(const std::wstring& userAgentValue);

// The program's file name without folder and last extension, directly
// followed by its product version. Control characters are dropped.
std::wstring BuildUserAgentValue(const std::wstring& programPath, const std::wstring& productVersion);

// A manifest version of exactly four dot-separated decimal numbers (each
// fitting 32 bits); false for anything else.
bool ParseManifestVersion(const std::wstring& version, unsigned numbers[4]);

// The subfolder the version adds to the install folder: "\<version>" below
// 3.7, "\<major>.<minor>.0.0" from 3.7 on, empty when the version is not
// four numbers.
std::wstring VersionSubfolder(const std::wstring& version);

// Applies the version subfolder once per process: the first manifest decides
// it, and every later call (a retry, a second manifest) gives the folder it
// is handed with that same subfolder, never appended twice.
class CVersionSubfolder {
public:
    std::wstring Apply(const std::wstring& installFolder, const std::wstring& version);
    bool Decided() const { return decided_; }

private:
    bool decided_ = false;
    std::wstring subfolder_;
};

// The installer's command line buffer holds 513 characters and a zero.
constexpr size_t kInstallerCommandLineUnits = 514;

// "/S /POLICY /SetUpdateFileMapping=MiniInstallHwnd /LANG=<lang> /bHelpUs=<0|1> "
// + pass-through arguments + "/D=<install folder>". False (and `commandLine`
// untouched) when it would not fit its buffer.
bool BuildInstallerCommandLine(WORD langId, int helpUs, const std::wstring& passThroughArgs,
                               const std::wstring& installFolder, std::wstring* commandLine);
