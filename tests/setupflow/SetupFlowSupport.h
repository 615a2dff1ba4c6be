#pragma once
// Shared pieces of the setup chain tests: manifests with a correct self-check
// digest, a recording installer runner and a private work folder.
#include <windows.h>

#include <string>
#include <vector>

#include "TestFiles.h"
#include "setup/InstallerLaunch.h"

struct ManifestFields {
    std::string name = "BriskoSetup";
    std::string version = "3.6.9.9";
    std::string requireAdmin = "no";
    std::string size = "1234";
    std::string md5;
    std::string url = "http://127.0.0.1:9/pkg/BriskoSetup.exe";
    std::string thread = "3";
    bool wrongListMd5 = false;
};

// A manifest whose update_info md5 matches its check copy (unless asked not to).
std::string MakeManifest(const ManifestFields& fields);

std::string Md5Hex(const std::string& bytes);

struct RunnerCall {
    std::wstring path, parameters, verb;
};

class CRecordingRunner : public IInstallerRunner {
public:
    bool Run(const std::wstring& path, const std::wstring& parameters, const wchar_t* verb, DWORD* exitCode,
             DWORD* error) override;
    std::vector<RunnerCall> calls;
    bool starts = true;
    DWORD exitCode = 0;
    std::string contentSeen;  // the package's bytes at the time of the start
    bool couldReplace = false;  // whether a writer could open the package then
};

// A fresh folder below the temporary folder, removed with its files at the end.
class CScratchFolder {
public:
    explicit CScratchFolder(const wchar_t* name);
    ~CScratchFolder();
    const std::wstring& Path() const { return path_; }  // ends in a backslash

private:
    std::wstring path_;
};

std::string ReadFileBytes(const std::wstring& path);
// A file in the folder of the running test program (built next to it).
std::wstring BesideThisTest(const wchar_t* name);
