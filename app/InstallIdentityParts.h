#pragma once
// The pieces of the installation identity string and their composition:
// "<disk>-<adapter>!<brisko-guid>@<#adapter of the user part>". The machine
// and the registry are reached through InstallIdentityEnvironment so the
// rules can be checked with made-up adapters, serials and stored values.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "identity/NetworkAdapters.h"

// The stored values "brisko-id" and "brisko-guid" of the current user.
class IInstallValueStore {
public:
    virtual ~IInstallValueStore() = default;
    // Empty when the value is missing, not text or too long.
    virtual std::wstring Read(const wchar_t* name) = 0;
    virtual bool Write(const wchar_t* name, const std::wstring& value) = 0;
};

// REG_SZ values under `path` of `root`, the key created when missing.
class CRegistryValueStore : public IInstallValueStore {
public:
    CRegistryValueStore(HKEY root, const std::wstring& path);
    ~CRegistryValueStore() override;
    CRegistryValueStore(const CRegistryValueStore&) = delete;
    CRegistryValueStore& operator=(const CRegistryValueStore&) = delete;
    bool IsOpen() const { return key_ != nullptr; }
    std::wstring Read(const wchar_t* name) override;
    bool Write(const wchar_t* name, const std::wstring& value) override;

private:
    HKEY key_ = nullptr;
};

extern const wchar_t kProductKeyPath[];  // "SOFTWARE\Nuvex Security\Brisko"
extern const wchar_t kStoredIdName[];    // "brisko-id"
extern const wchar_t kStoredGuidName[];  // "brisko-guid"

// The user's own hive (the impersonated user's when the thread impersonates),
// falling back to HKEY_CURRENT_USER.
std::unique_ptr<IInstallValueStore> OpenUserValueStore();

// The SID of the user the thread runs as, as text; empty when not found.
std::wstring CurrentUserSidText();
// A random UUID as UuidToStringW writes it (36 lower-case characters).
std::wstring NewUuidText();

// "00000000" for a serial of 7 characters or fewer, else its first 8.
std::wstring MakeDiskPart(const std::wstring& firstDiskSerial);
// The greatest wired address by text, else the first wireless, else "000000000000".
std::wstring MakeAdapterPart(const std::vector<guid::AdapterRecord>& adapters);
// SID "#" the first wired (else first wireless) address; the SID alone
// without adapters; "0000-0000-0000#0000" when the SID is unknown or the text
// would not fit `bufferChars` (empty below 20 characters).
std::wstring MakeUserPart(const std::wstring& sid, const std::vector<guid::AdapterRecord>& adapters,
                          size_t bufferChars);

// Stores or recalls "brisko-id", makes "brisko-guid" when missing and gives
// "<guid>@<user part from its #>"; `storedId` tells whether a "brisko-id"
// value was stored or found.
std::wstring MakeUserIdentity(const std::wstring& userPart, IInstallValueStore& store,
                              const std::function<std::wstring()>& newUuid, bool& storedId);

std::wstring JoinInstallIdentity(const std::wstring& diskPart, const std::wstring& adapterPart,
                                 const std::wstring& userIdentity);

// Where the full identity takes its inputs from; the defaults are the machine's.
struct InstallIdentityEnvironment {
    std::function<std::wstring()> firstDiskSerial;
    std::function<std::vector<guid::AdapterRecord>()> adapters = guid::ListNetworkAdapters;
    std::function<std::wstring()> userSid = CurrentUserSidText;
    std::function<std::unique_ptr<IInstallValueStore>()> openStore = OpenUserValueStore;
    std::function<std::wstring()> newUuid = NewUuidText;
    // The interactive user's token (owned by the caller, who closes it); when
    // empty, the console session's user is asked.
    std::function<HANDLE()> interactiveUserToken;
    InstallIdentityEnvironment();
};

struct InstallIdentityResult {
    std::wstring text;
    bool storedId = false;
};

// The user part and stored values (run as whoever the thread runs as, or with
// `makeUserPart` false when impersonation failed), then the disk and adapter
// parts in front.
InstallIdentityResult ComposeInstallIdentity(const InstallIdentityEnvironment& environment, size_t bufferChars,
                                             bool makeUserPart = true);
// The parts that run as the user: steps up to the "<guid>@..." text.
InstallIdentityResult ComposeUserIdentity(const InstallIdentityEnvironment& environment, size_t bufferChars,
                                          bool makeUserPart);
// The disk and adapter parts put in front of a user identity.
std::wstring AddHardwareParts(const InstallIdentityEnvironment& environment, const std::wstring& userIdentity);

// Copies text into a caller's buffer, cut to fit; false when cut or no room.
bool CopyToBuffer(const std::wstring& text, wchar_t* buffer, size_t bufferChars);
