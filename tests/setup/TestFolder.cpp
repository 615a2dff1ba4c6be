#include "TestFolder.h"

#include <windows.h>

#include "setup/WorkFolder.h"

CTestFolder::CTestFolder(const std::wstring& tag)
{
    static unsigned counter = 0;
    path_ = GetTempFolder() + L"setup_test_" + tag + L"_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
            std::to_wstring(++counter) + L"\\";
    RemoveTree(path_);
    CreateDirectoryW(path_.c_str(), nullptr);
}

CTestFolder::~CTestFolder()
{
    RemoveTree(path_);
}
