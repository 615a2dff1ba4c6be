#include "MessageRecorder.h"

namespace {
constexpr wchar_t kClassName[] = L"SetupFlowMessageRecorder";
}

CMessageRecorder::CMessageRecorder()
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &CMessageRecorder::Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);  // fails harmlessly when already registered
    // A hidden top-level window: the installer must be able to send to it.
    window_ = CreateWindowExW(0, kClassName, L"setup flow recorder", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                              GetModuleHandleW(nullptr), this);
}

CMessageRecorder::~CMessageRecorder() { Destroy(); }

void CMessageRecorder::Destroy()
{
    if (window_ && IsWindow(window_)) DestroyWindow(window_);
    window_ = nullptr;
}

LRESULT CALLBACK CMessageRecorder::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<CMessageRecorder*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self) {
        if (message >= kMsgDownloadStarted && message <= kMsgInstallerEnded) {
            self->messages_.push_back({message, wParam, lParam, L""});
            return 0;
        }
        if (message == kMsgInstallProgress) {
            self->messages_.push_back({message, wParam, lParam, L""});
            return 0;
        }
        if (message == WM_COPYDATA) {
            InstallerResult result;
            bool parsed = ParseInstallerResult(reinterpret_cast<const COPYDATASTRUCT*>(lParam), &result);
            self->messages_.push_back({message, wParam, parsed ? 1 : 0, result.resultCode});
            return TRUE;
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool CMessageRecorder::PumpUntil(const std::function<bool(const std::vector<RecordedMessage>&)>& done,
                                 DWORD milliseconds)
{
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done(messages_)) return true;
        if (GetTickCount() - start > milliseconds) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

void CMessageRecorder::PumpFor(DWORD milliseconds)
{
    PumpUntil([](const std::vector<RecordedMessage>&) { return false; }, milliseconds);
}

int CMessageRecorder::Count(UINT message) const
{
    int count = 0;
    for (const auto& m : messages_) count += m.message == message;
    return count;
}

LPARAM CMessageRecorder::FirstLParam(UINT message) const
{
    for (const auto& m : messages_)
        if (m.message == message) return m.lParam;
    return -1;
}

std::vector<UINT> CMessageRecorder::Sequence() const
{
    std::vector<UINT> sequence;
    for (const auto& m : messages_) {
        bool repeat = !sequence.empty() && sequence.back() == m.message &&
                      (m.message == kMsgDownloadProgress || m.message == kMsgInstallProgress);
        if (!repeat) sequence.push_back(m.message);
    }
    return sequence;
}

bool ChainEnded(const std::vector<RecordedMessage>& messages)
{
    bool over = false, success = false;
    for (const auto& m : messages) {
        if (m.message == kMsgDownloadOver) {
            over = true;
            success = m.lParam == kResultPackageReady || m.lParam == kResultPackageSigned;
        }
        if (m.message == kMsgInstallerEnded) return true;
    }
    return over && !success;
}
