#pragma once
// The notification-area record of the setup: one icon (id 1000) whose mouse
// events come to the owner window as message 1524. Every shell call goes
// through the environment seam.
#include <windows.h>
#include <shellapi.h>

#include <cstddef>

constexpr UINT kTrayIconId = 1000;
constexpr UINT kTrayCallbackMessage = 1524;
// The record size that carries the balloon fields and the GUID but not the
// balloon icon: older shells accept it, newer ones read it as that version.
constexpr DWORD kTrayRecordSize = 952;
// Capacities of the record's text fields, terminating zero included.
constexpr size_t kTrayTipCapacity = 128;
constexpr size_t kTrayInfoCapacity = 256;

// Copies at most capacity - 1 characters of `text` (nullptr: empty) into
// `target` and terminates it; a surrogate pair is never split by the cut.
void CopyTrayText(wchar_t* target, size_t capacity, const wchar_t* text);

class CShowTray {
public:
    CShowTray();
    virtual ~CShowTray();
    CShowTray(const CShowTray&) = delete;
    CShowTray& operator=(const CShowTray&) = delete;

    // Registers the icon for `owner` with an empty tooltip. True when the shell took it.
    bool Add(HWND owner, HICON icon);
    // Changes of a registered icon; without a registration they do nothing.
    bool ShowIcon(HICON icon);
    bool SetTip(const wchar_t* text);
    // The balloon notification: text only, no title, no info flags.
    bool ShowInfo(const wchar_t* text);
    // Unregisters the icon; afterwards the record has no owner.
    bool Remove();

    HWND Owner() const { return data_.hWnd; }
    HICON Icon() const { return icon_; }
    const NOTIFYICONDATAW& Record() const { return data_; }

private:
    bool Modify(UINT flags);

    NOTIFYICONDATAW data_;
    HICON icon_ = nullptr;
};
