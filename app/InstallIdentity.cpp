#include "app/InstallIdentity.h"

#include <wtsapi32.h>

#include <cstring>

#include "app/InstallIdentityParts.h"
#include "app/Privilege.h"
#include "identity/HardwareId.h"

namespace {

HANDLE QueryToken(DWORD session)
{
    HANDLE token = nullptr;
    if (session == 0xFFFFFFFF || !WTSQueryUserToken(session, &token)) return nullptr;
    return token;
}

DWORD FirstActiveSession()
{
    WTS_SESSION_INFOW* sessions = nullptr;
    DWORD count = 0;
    DWORD found = 0xFFFFFFFF;
    if (!WTSEnumerateSessionsW(WTS_CURRENT_SERVER_HANDLE, 0, 1, &sessions, &count)) return found;
    for (DWORD i = 0; i < count && found == 0xFFFFFFFF; ++i)
        if (sessions[i].State == WTSActive) found = sessions[i].SessionId;
    WTSFreeMemory(sessions);
    return found;
}

// The interactive user's token: the console session's, else the first
// active session's, else the console session's once more.
HANDLE InteractiveUserToken()
{
    const DWORD console = WTSGetActiveConsoleSessionId();
    if (HANDLE token = QueryToken(console)) return token;
    if (HANDLE token = QueryToken(FirstActiveSession())) return token;
    return QueryToken(console);
}

void CopyHardwareId(wchar_t* buffer, size_t bufferChars)
{
    const char* id = GetHardwareId();
    size_t length = std::strlen(id);
    if (!buffer || length + 1 > bufferChars) return;
    for (size_t i = 0; i <= length; ++i) buffer[i] = wchar_t(static_cast<unsigned char>(id[i]));
}

// Runs the enclosed work as the user of a token. Reverting and closing happen
// on every path out, an exception included, so the calling thread never
// stays impersonated and an own token never leaks.
class CImpersonation {
public:
    CImpersonation(HANDLE token, bool ownsToken) : token_(token), ownsToken_(ownsToken)
    {
        active_ = token_ && ImpersonateLoggedOnUser(token_);
    }
    ~CImpersonation()
    {
        if (active_) RevertToSelf();
        if (ownsToken_ && token_) CloseHandle(token_);
    }
    CImpersonation(const CImpersonation&) = delete;
    CImpersonation& operator=(const CImpersonation&) = delete;
    bool HasToken() const { return token_ != nullptr; }
    bool Active() const { return active_; }

private:
    HANDLE token_;
    bool ownsToken_;
    bool active_ = false;
};

}  // namespace

// The parts made as the interactive user, then the hardware parts as the
// process's own user.
InstallIdentityResult BuildFullInstallIdentity(const InstallIdentityEnvironment& environment, HANDLE userToken,
                                               size_t bufferChars)
{
    // Lets a service ask for the console user's token; harmless when refused.
    TryEnablePrivilege(L"SeTcbPrivilege");
    InstallIdentityResult result;
    {
        HANDLE token = userToken;
        if (!token) token = environment.interactiveUserToken ? environment.interactiveUserToken() : InteractiveUserToken();
        CImpersonation user(token, token != userToken);
        // Without a token the part is made as the process's own user; a token
        // that cannot be impersonated leaves the user part empty.
        const bool makeUserPart = !user.HasToken() || user.Active();
        result = ComposeUserIdentity(environment, bufferChars, makeUserPart);
    }
    result.text = AddHardwareParts(environment, result.text);
    return result;
}

int BuildInstallIdentity(HANDLE userToken, wchar_t* buffer, size_t bufferChars, int hardwareOnly)
{
    if (hardwareOnly) {
        CopyHardwareId(buffer, bufferChars);
        return 1;
    }
    if (!buffer || bufferChars == 0) return 0;
    try {
        const InstallIdentityEnvironment environment;
        InstallIdentityResult result = BuildFullInstallIdentity(environment, userToken, bufferChars);
        CopyToBuffer(result.text, buffer, bufferChars);
        return result.storedId ? 1 : 0;
    } catch (...) {
        // Nothing escapes to the start-up code; the identity stays empty.
        buffer[0] = 0;
        return 0;
    }
}
