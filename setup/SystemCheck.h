#pragma once
// Whether this Windows is one the product supports.
#include <windows.h>

// 6.0 and later; XP (5.1) from service pack 2; 5.2 only as XP x64 (a
// workstation on an x64 processor); nothing older.
bool IsSupportedWindowsVersion(DWORD major, DWORD minor, WORD servicePackMajor, BYTE productType,
                               WORD processorArchitecture);

// The rule above applied to the running system.
bool IsSupportedWindows();
