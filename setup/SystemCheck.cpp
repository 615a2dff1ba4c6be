#include "setup/SystemCheck.h"

bool IsSupportedWindowsVersion(DWORD major, DWORD minor, WORD servicePackMajor, BYTE productType,
                               WORD processorArchitecture)
{
    if (major >= 6)
        return true;
    if (major == 5 && minor == 1)
        return servicePackMajor >= 2;
    if (major == 5 && minor == 2)
        return productType == VER_NT_WORKSTATION && processorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
    return false;
}

bool IsSupportedWindows()
{
    OSVERSIONINFOEXW version = {};
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version)))
        return false;
#pragma GCC diagnostic pop
    // The native view, so a 32-bit program on XP x64 sees an x64 processor.
    SYSTEM_INFO system = {};
    GetNativeSystemInfo(&system);
    return IsSupportedWindowsVersion(version.dwMajorVersion, version.dwMinorVersion, version.wServicePackMajor,
                                     version.wProductType, system.wProcessorArchitecture);
}
