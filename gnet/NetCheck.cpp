#include "gnet/NetCheck.h"

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <new>
#include <vector>

#include "gnet/SimpleDebugLog.h"

namespace gnet {
namespace {

const ULONG kMaxTableBytes = 2860;  // the count word and 51 rows

bool HasDefaultRoute(const MIB_IPFORWARDTABLE* table) {
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        if (table->table[i].dwForwardDest == 0 && table->table[i].dwForwardMask == 0) return true;
    }
    return false;
}

}  // namespace

int CheckNetWork() {
    try {
        ULONG size = sizeof(DWORD) + sizeof(MIB_IPFORWARDROW);
        std::vector<unsigned char> buffer(size);
        DWORD answer = GetIpForwardTable(reinterpret_cast<MIB_IPFORWARDTABLE*>(buffer.data()), &size, FALSE);
        if (answer == ERROR_INSUFFICIENT_BUFFER) {
            // A big routing table is taken as a sign of a working network.
            if (size > kMaxTableBytes) return kNetConnected;
            buffer.resize(size);
            answer = GetIpForwardTable(reinterpret_cast<MIB_IPFORWARDTABLE*>(buffer.data()), &size, FALSE);
        }
        if (answer != NO_ERROR) return kNetConnected;
        return HasDefaultRoute(reinterpret_cast<MIB_IPFORWARDTABLE*>(buffer.data())) ? kNetConnected : kNetNone;
    } catch (...) {
        PrintLog(L"%ls, Exception", L"gnet::CDownloadFileImpl::CheckNetWork");
        return kNetCheckFailed;
    }
}

}  // namespace gnet
