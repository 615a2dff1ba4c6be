#include "app/InstallIdentityParts.h"

#include <lmcons.h>
#include <rpc.h>
#include <sddl.h>

#include <algorithm>

#include "identity/DiskImpl.h"

const wchar_t kProductKeyPath[] = L"SOFTWARE\\Nuvex Security\\Brisko";
const wchar_t kStoredIdName[] = L"brisko-id";
const wchar_t kStoredGuidName[] = L"brisko-guid";

namespace {

constexpr size_t kStoredValueChars = 260;
constexpr size_t kShortestStoredUserPart = 23;  // 22 characters or fewer are never kept
const wchar_t kUnknownUserPart[] = L"0000-0000-0000#0000";
constexpr size_t kUnknownUserPartMinBuffer = 20;
const wchar_t kNoAdapter[] = L"000000000000";
const wchar_t kNoDisk[] = L"00000000";
constexpr size_t kDiskPartChars = 8;

std::wstring Widen(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

const guid::AdapterRecord* FirstAdapter(const std::vector<guid::AdapterRecord>& adapters, bool wireless)
{
    for (const guid::AdapterRecord& adapter : adapters)
        if (adapter.wireless == wireless) return &adapter;
    return nullptr;
}

}  // namespace

CRegistryValueStore::CRegistryValueStore(HKEY root, const std::wstring& path)
{
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr) != ERROR_SUCCESS)
        key_ = nullptr;
}

CRegistryValueStore::~CRegistryValueStore()
{
    if (key_) RegCloseKey(key_);
}

std::wstring CRegistryValueStore::Read(const wchar_t* name)
{
    if (!key_) return std::wstring();
    wchar_t data[kStoredValueChars + 1] = {};
    DWORD type = 0, bytes = kStoredValueChars * sizeof(wchar_t);
    if (RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &bytes) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::wstring();
    data[std::min<size_t>(bytes / sizeof(wchar_t), kStoredValueChars)] = 0;  // stored text may lack its NUL
    return data;
}

bool CRegistryValueStore::Write(const wchar_t* name, const std::wstring& value)
{
    if (!key_) return false;
    DWORD bytes = DWORD((value.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes) ==
           ERROR_SUCCESS;
}

std::unique_ptr<IInstallValueStore> OpenUserValueStore()
{
    HKEY userHive = nullptr;
    if (RegOpenCurrentUser(KEY_ALL_ACCESS, &userHive) == ERROR_SUCCESS) {
        auto store = std::make_unique<CRegistryValueStore>(userHive, kProductKeyPath);
        RegCloseKey(userHive);  // the opened subkey stays valid on its own
        if (store->IsOpen()) return store;
    }
    return std::make_unique<CRegistryValueStore>(HKEY_CURRENT_USER, kProductKeyPath);
}

std::wstring CurrentUserSidText()
{
    wchar_t userName[UNLEN + 1] = {};
    DWORD nameChars = UNLEN + 1;
    if (!GetUserNameW(userName, &nameChars)) return std::wstring();
    DWORD sidBytes = 0, domainChars = 0;
    SID_NAME_USE use;
    LookupAccountNameW(nullptr, userName, nullptr, &sidBytes, nullptr, &domainChars, &use);
    if (sidBytes == 0) return std::wstring();
    std::vector<BYTE> sid(sidBytes);
    std::vector<wchar_t> domain(domainChars + 1);
    if (!LookupAccountNameW(nullptr, userName, sid.data(), &sidBytes, domain.data(), &domainChars, &use))
        return std::wstring();
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(sid.data(), &text) || !text) return std::wstring();
    std::wstring sidText = text;
    LocalFree(text);
    return sidText;
}

std::wstring NewUuidText()
{
    UUID uuid;
    if (UuidCreate(&uuid) != RPC_S_OK) return std::wstring();
    RPC_WSTR text = nullptr;
    if (UuidToStringW(&uuid, &text) != RPC_S_OK || !text) return std::wstring();
    std::wstring uuidText = reinterpret_cast<wchar_t*>(text);
    RpcStringFreeW(&text);
    return uuidText;
}

std::wstring MakeDiskPart(const std::wstring& firstDiskSerial)
{
    if (firstDiskSerial.size() < kDiskPartChars) return kNoDisk;
    return firstDiskSerial.substr(0, kDiskPartChars);
}

std::wstring MakeAdapterPart(const std::vector<guid::AdapterRecord>& adapters)
{
    const guid::AdapterRecord* greatestWired = nullptr;
    for (const guid::AdapterRecord& adapter : adapters)
        if (!adapter.wireless && (!greatestWired || adapter.address > greatestWired->address)) greatestWired = &adapter;
    if (greatestWired) return Widen(greatestWired->address);
    if (const guid::AdapterRecord* wireless = FirstAdapter(adapters, true)) return Widen(wireless->address);
    return kNoAdapter;
}

std::wstring MakeUserPart(const std::wstring& sid, const std::vector<guid::AdapterRecord>& adapters,
                          size_t bufferChars)
{
    std::wstring text = sid;
    const guid::AdapterRecord* adapter = FirstAdapter(adapters, false);
    if (!adapter) adapter = FirstAdapter(adapters, true);
    if (adapter) text += L"#" + Widen(adapter->address);
    if (sid.empty() || text.size() >= bufferChars)
        return bufferChars >= kUnknownUserPartMinBuffer ? kUnknownUserPart : L"";
    return text;
}

std::wstring MakeUserIdentity(const std::wstring& userPart, IInstallValueStore& store,
                              const std::function<std::wstring()>& newUuid, bool& storedId)
{
    std::wstring part = userPart;
    storedId = false;
    if (part.size() >= kShortestStoredUserPart) {
        store.Write(kStoredIdName, part);
        storedId = true;
    } else {
        std::wstring stored = store.Read(kStoredIdName);
        if (stored.size() >= kShortestStoredUserPart) {
            part = stored;
            storedId = true;
        }
    }
    size_t hash = part.find(L'#');
    if (hash != std::wstring::npos) part.erase(0, hash);

    std::wstring guidText = store.Read(kStoredGuidName);
    if (guidText.empty()) {
        guidText = newUuid();
        if (!guidText.empty()) store.Write(kStoredGuidName, guidText);
    }
    return guidText + L"@" + part;
}

std::wstring JoinInstallIdentity(const std::wstring& diskPart, const std::wstring& adapterPart,
                                 const std::wstring& userIdentity)
{
    return diskPart + L"-" + adapterPart + L"!" + userIdentity;
}

InstallIdentityEnvironment::InstallIdentityEnvironment()
    : firstDiskSerial([] { return guid::ReadFirstDiskSerial(); })
{
}

InstallIdentityResult ComposeUserIdentity(const InstallIdentityEnvironment& environment, size_t bufferChars,
                                          bool makeUserPart)
{
    std::wstring userPart;
    if (makeUserPart) userPart = MakeUserPart(environment.userSid(), environment.adapters(), bufferChars);
    InstallIdentityResult result;
    std::unique_ptr<IInstallValueStore> store = environment.openStore();
    result.text = MakeUserIdentity(userPart, *store, environment.newUuid, result.storedId);
    return result;
}

std::wstring AddHardwareParts(const InstallIdentityEnvironment& environment, const std::wstring& userIdentity)
{
    return JoinInstallIdentity(MakeDiskPart(environment.firstDiskSerial()), MakeAdapterPart(environment.adapters()),
                               userIdentity);
}

InstallIdentityResult ComposeInstallIdentity(const InstallIdentityEnvironment& environment, size_t bufferChars,
                                             bool makeUserPart)
{
    InstallIdentityResult result = ComposeUserIdentity(environment, bufferChars, makeUserPart);
    result.text = AddHardwareParts(environment, result.text);
    return result;
}

bool CopyToBuffer(const std::wstring& text, wchar_t* buffer, size_t bufferChars)
{
    if (!buffer || bufferChars == 0) return false;
    size_t length = std::min(text.size(), bufferChars - 1);
    std::copy(text.begin(), text.begin() + length, buffer);
    buffer[length] = 0;
    return length == text.size();
}
