#include "ui/setup/ShowTray.h"

#include "ui/setup/Environment.h"

void CopyTrayText(wchar_t* target, size_t capacity, const wchar_t* text)
{
    if (capacity == 0) return;
    size_t length = 0;
    if (text) {
        while (length + 1 < capacity && text[length] != L'\0') ++length;
        // A high surrogate whose partner did not fit would leave half a character.
        bool cutInsidePair = length > 0 && text[length] != L'\0' && IS_HIGH_SURROGATE(text[length - 1]);
        if (cutInsidePair) --length;
        wmemcpy(target, text, length);
    }
    target[length] = L'\0';
}

CShowTray::CShowTray()
{
    ZeroMemory(&data_, sizeof(data_));
    data_.cbSize = kTrayRecordSize;
    data_.uID = kTrayIconId;
}

CShowTray::~CShowTray()
{
    if (data_.hWnd) Remove();
}

bool CShowTray::Add(HWND owner, HICON icon)
{
    data_.hWnd = owner;
    data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data_.uCallbackMessage = kTrayCallbackMessage;
    data_.hIcon = icon;
    data_.szTip[0] = L'\0';
    icon_ = icon;
    return Env().NotifyIcon(NIM_ADD, &data_);
}

bool CShowTray::ShowIcon(HICON icon)
{
    icon_ = icon;
    data_.hIcon = icon;
    return Modify(NIF_ICON);
}

bool CShowTray::SetTip(const wchar_t* text)
{
    CopyTrayText(data_.szTip, kTrayTipCapacity, text);
    return Modify(NIF_TIP);
}

bool CShowTray::ShowInfo(const wchar_t* text)
{
    CopyTrayText(data_.szInfo, kTrayInfoCapacity, text);
    data_.szInfoTitle[0] = L'\0';
    data_.dwInfoFlags = 0;
    return Modify(NIF_INFO);
}

bool CShowTray::Remove()
{
    if (!data_.hWnd) return false;
    data_.uFlags = 0;
    bool removed = Env().NotifyIcon(NIM_DELETE, &data_);
    data_.hWnd = nullptr;
    return removed;
}

bool CShowTray::Modify(UINT flags)
{
    if (!data_.hWnd) return false;
    data_.uFlags = flags;
    return Env().NotifyIcon(NIM_MODIFY, &data_);
}
