#pragma once
// The engine's own log: one time-stamped UTF-8 file per process run in the
// user's temporary folder, each line also sent to a debug viewer window.
#include <windows.h>

#include <cstdint>
#include <string>

#include "gnet/Lock.h"

namespace gnet {

// Appends bytes to a file through a growing file mapping; Close() trims the
// zero padding of the last growth.
class CMapFileWriter {
public:
    CMapFileWriter();
    ~CMapFileWriter();
    CMapFileWriter(const CMapFileWriter&) = delete;
    CMapFileWriter& operator=(const CMapFileWriter&) = delete;

    void SetPath(const std::wstring& path);
    const std::wstring& GetPath() const { return path_; }
    bool Append(const void* bytes, size_t size);
    void Close();

private:
    bool Grow(uint64_t needed);

    HANDLE mapping_;
    uint64_t writeOffset_;
    uint64_t mappedSize_;
    std::wstring path_;
};

class CSimpleDebugLog {
public:
    static CSimpleDebugLog* GetInstance();
    static void DestroyInstance();

    void WriteLine(const wchar_t* message);
    std::wstring GetPath() const { return writer_.GetPath(); }

private:
    CSimpleDebugLog();
    ~CSimpleDebugLog();

    CMapFileWriter writer_;
    CLock lock_;
};

// printf-style message (wide format) into the engine log.
void PrintLog(const wchar_t* format, ...);

// Path of the log file the current process writes (empty when there is none).
std::wstring GetEngineLogPath();

// Builds the log file path for a program name and a local time; shared with tests.
std::wstring MakeLogFileName(const std::wstring& tempFolder, const std::wstring& moduleFileName,
                             const SYSTEMTIME& localTime);
// Builds one log line (without the line break).
std::wstring MakeLogLine(const SYSTEMTIME& localTime, DWORD threadId, const wchar_t* message);

}  // namespace gnet
