#pragma once
// A window that records the setup messages it receives, as the setup window
// would see them, and a pump that waits for one of them.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "setup/WindowContract.h"

struct RecordedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    std::wstring resultCode;  // WM_COPYDATA only
};

class CMessageRecorder {
public:
    CMessageRecorder();
    ~CMessageRecorder();
    CMessageRecorder(const CMessageRecorder&) = delete;
    CMessageRecorder& operator=(const CMessageRecorder&) = delete;

    HWND Handle() const { return window_; }
    void Destroy();

    // Pumps messages until `done` holds for the recorded list or the time is up.
    bool PumpUntil(const std::function<bool(const std::vector<RecordedMessage>&)>& done, DWORD milliseconds);
    // Pumps for a while and returns (to see that nothing more arrives).
    void PumpFor(DWORD milliseconds);

    const std::vector<RecordedMessage>& Messages() const { return messages_; }
    void Clear() { messages_.clear(); }
    int Count(UINT message) const;
    // The lParam of the first message of that number, or -1.
    LPARAM FirstLParam(UINT message) const;
    // Message numbers in arrival order, without repeats of 2025 and 1125 in a row.
    std::vector<UINT> Sequence() const;

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND window_ = nullptr;
    std::vector<RecordedMessage> messages_;
};

// True once a 2026 arrived and, after a success code, 2028 too.
bool ChainEnded(const std::vector<RecordedMessage>& messages);
