#include "gnet/SimpleDebugLog.h"

#include "gnet/GuardedCopy.h"

#include <shlwapi.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "gnet/StringUtil.h"

namespace gnet {
namespace {

const uint64_t kGrowStep = 16384;
const uint64_t kViewGranularity = 65536;
const wchar_t kViewerTitle[] = L"kelvar_simple_debug_log";

CRITICAL_SECTION* InstanceSection() {
    static CRITICAL_SECTION section;
    static LONG state = 0;  // 0 untouched, 1 initialising, 2 ready
    if (InterlockedCompareExchange(&state, 1, 0) == 0) {
        InitializeCriticalSection(&section);
        InterlockedExchange(&state, 2);
    }
    while (state != 2) Sleep(0);
    return &section;
}

CSimpleDebugLog* volatile g_instance = nullptr;

void CreateFolders(const std::wstring& path) {
    // Every missing level from the drive down; the last component is the file.
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] != L'\\' && path[i] != L'/') continue;
        if (i < 3) continue;
        CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
    }
}

void SendToViewer(const std::wstring& line) {
    HWND viewer = FindWindowW(nullptr, kViewerTitle);
    COPYDATASTRUCT data;
    data.dwData = 0;
    data.cbData = static_cast<DWORD>((line.size() + 1) * sizeof(wchar_t));
    data.lpData = const_cast<wchar_t*>(line.c_str());
    SendMessageW(viewer, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
}

std::wstring ComputeLogPath() {
    wchar_t temp[MAX_PATH + 1] = {0};
    DWORD length = GetTempPathW(MAX_PATH, temp);
    if (length == 0 || length > MAX_PATH) return std::wstring();
    wchar_t module[MAX_PATH + 1] = {0};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    SYSTEMTIME now;
    GetLocalTime(&now);
    return MakeLogFileName(temp, module, now);
}

}  // namespace

// --- CMapFileWriter ---------------------------------------------------------

CMapFileWriter::CMapFileWriter() : mapping_(nullptr), writeOffset_(0), mappedSize_(0) {}

CMapFileWriter::~CMapFileWriter() { Close(); }

void CMapFileWriter::SetPath(const std::wstring& path) {
    path_ = path;
    if (!path_.empty()) CreateFolders(path_);
}

bool CMapFileWriter::Grow(uint64_t needed) {
    if (mapping_) {
        CloseHandle(mapping_);
        mapping_ = nullptr;
    }
    CScopedHandle file(CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) return false;
    if (writeOffset_ == 0 && mappedSize_ == 0) {
        // First growth of this run: an existing file is continued at its end.
        LARGE_INTEGER size;
        if (GetFileSizeEx(file.Get(), &size)) {
            writeOffset_ = static_cast<uint64_t>(size.QuadPart);
            mappedSize_ = writeOffset_;
        }
    }
    mappedSize_ += needed;
    mappedSize_ = (mappedSize_ + kGrowStep - 1) / kGrowStep * kGrowStep;
    mapping_ = CreateFileMappingW(file.Get(), nullptr, PAGE_READWRITE, static_cast<DWORD>(mappedSize_ >> 32),
                                  static_cast<DWORD>(mappedSize_), nullptr);
    return mapping_ != nullptr;
}

bool CMapFileWriter::Append(const void* bytes, size_t size) {
    if (path_.empty()) return false;
    if (writeOffset_ + size > mappedSize_ || !mapping_) Grow(size);
    if (!mapping_ || writeOffset_ + size > mappedSize_) return false;
    uint64_t viewStart = writeOffset_ / kViewGranularity * kViewGranularity;
    size_t delta = static_cast<size_t>(writeOffset_ - viewStart);
    void* view = MapViewOfFile(mapping_, FILE_MAP_WRITE, static_cast<DWORD>(viewStart >> 32),
                               static_cast<DWORD>(viewStart), size + delta);
    if (!view) return false;
    // A full disk faults on the copy: the line is lost, the process goes on.
    bool copied = GuardedCopy(static_cast<char*>(view) + delta, bytes, size);
    UnmapViewOfFile(view);
    writeOffset_ += size;
    return copied;
}

void CMapFileWriter::Close() {
    if (!mapping_) return;
    CloseHandle(mapping_);
    mapping_ = nullptr;
    CScopedHandle file(CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Valid()) {
        LONG high = static_cast<LONG>(writeOffset_ >> 32);
        SetFilePointer(file.Get(), static_cast<LONG>(writeOffset_), &high, FILE_BEGIN);
        SetEndOfFile(file.Get());
    }
    writeOffset_ = 0;
    mappedSize_ = 0;
}

// --- CSimpleDebugLog --------------------------------------------------------

CSimpleDebugLog::CSimpleDebugLog() { writer_.SetPath(ComputeLogPath()); }

CSimpleDebugLog::~CSimpleDebugLog() { writer_.Close(); }

CSimpleDebugLog* CSimpleDebugLog::GetInstance() {
    if (g_instance) return g_instance;
    EnterCriticalSection(InstanceSection());
    if (!g_instance) g_instance = new CSimpleDebugLog();
    CSimpleDebugLog* instance = g_instance;
    LeaveCriticalSection(InstanceSection());
    return instance;
}

void CSimpleDebugLog::DestroyInstance() {
    EnterCriticalSection(InstanceSection());
    delete g_instance;
    g_instance = nullptr;
    LeaveCriticalSection(InstanceSection());
}

void CSimpleDebugLog::WriteLine(const wchar_t* message) {
    CAutoLock hold(lock_);
    SYSTEMTIME now;
    GetLocalTime(&now);
    std::wstring line = MakeLogLine(now, GetCurrentThreadId(), message);
    if (!writer_.GetPath().empty()) {
        std::string bytes = WideToUtf8(line);
        bytes += "\r\n";
        writer_.Append(bytes.data(), bytes.size());
    }
    SendToViewer(line);
}

std::wstring MakeLogFileName(const std::wstring& tempFolder, const std::wstring& moduleFileName,
                             const SYSTEMTIME& t) {
    size_t slash = moduleFileName.find_last_of(L'\\');
    std::wstring name = slash == std::wstring::npos ? moduleFileName : moduleFileName.substr(slash + 1);
    size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos) name.resize(dot);
    wchar_t joined[MAX_PATH + 1] = {0};
    lstrcpynW(joined, tempFolder.c_str(), MAX_PATH);
    if (!PathAppendW(joined, name.c_str())) return std::wstring();
    wchar_t suffix[64];
    swprintf(suffix, 64, L"\\gnet_log_%d%02d%02d%02d%02d%02d.txt", t.wYear, t.wMonth, t.wDay, t.wHour,
             t.wMinute, t.wSecond);
    return std::wstring(joined) + suffix;
}

std::wstring MakeLogLine(const SYSTEMTIME& t, DWORD threadId, const wchar_t* message) {
    wchar_t prefix[64];
    swprintf(prefix, 64, L"%d.%02d.%02d-%02d:%02d:%02d = [%lu]", t.wYear, t.wMonth, t.wDay, t.wHour,
             t.wMinute, t.wSecond, static_cast<unsigned long>(threadId));
    return std::wstring(prefix) + (message ? message : L"");
}

void PrintLog(const wchar_t* format, ...) {
    wchar_t buffer[4096];
    va_list args;
    va_start(args, format);
    // A message longer than the buffer is cut at its end.
    int written = vswprintf(buffer, 4096, format, args);
    va_end(args);
    if (written < 0) buffer[4095] = L'\0';
    CSimpleDebugLog::GetInstance()->WriteLine(buffer);
}

std::wstring GetEngineLogPath() { return CSimpleDebugLog::GetInstance()->GetPath(); }

}  // namespace gnet
