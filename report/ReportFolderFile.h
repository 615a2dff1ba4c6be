#pragma once
// The queue and Temp keys are writable by every user, so any name in them may
// have been placed there by someone else. Files are only ever uploaded,
// renamed or deleted when they are plainly ours: directly inside the report
// folder, with our extension, and reached without any reparse point (a
// junction or link put in by another user would otherwise steer the renames
// and deletes of an elevated process).
#include <windows.h>

#include <string>

class CReportFolderFile {
public:
    enum class State { Owned, Missing, NotOurs };

    // Checks `path` by its text and then by the final paths of the opened
    // report folder and file. While this object lives the report folder is
    // held open, so it cannot be renamed or replaced by a junction; with
    // `holdForReading` the file is also held open for reading, which keeps
    // writers and deleters out while it is read.
    CReportFolderFile(const std::wstring& path, const wchar_t* extension, bool holdForReading);
    ~CReportFolderFile();
    CReportFolderFile(const CReportFolderFile&) = delete;
    CReportFolderFile& operator=(const CReportFolderFile&) = delete;

    State Check() const { return state_; }
    bool Owned() const { return state_ == State::Owned; }
    // Ours by name and place, but there is no such file.
    bool Missing() const { return state_ == State::Missing; }
    // The file held for reading (null unless Owned and asked for).
    HANDLE File() const { return file_; }
    // Lets go of the file (the folder stays held), so it can be deleted.
    void ReleaseFile();

private:
    State Inspect(const std::wstring& path, const wchar_t* extension, bool holdForReading);

    State state_ = State::NotOurs;
    HANDLE folder_ = nullptr;
    HANDLE file_ = nullptr;
};

// The final path of an open handle as a plain DOS path ("C:\..."); empty
// when it cannot be had.
std::wstring FinalPathOf(HANDLE handle);
// True when `path` names a file directly inside the report folder with the
// given extension (".tmp", ".dat", ".raw"), compared without letter case.
// Text only: the file system is not asked.
bool IsReportFolderFile(const std::wstring& path, const wchar_t* extension);
