#pragma once
// A fresh folder under the temporary folder for one test, removed with
// everything in it afterwards.
#include <string>

#include "TestFiles.h"

class CTestFolder {
public:
    explicit CTestFolder(const std::wstring& tag);
    ~CTestFolder();
    CTestFolder(const CTestFolder&) = delete;
    CTestFolder& operator=(const CTestFolder&) = delete;

    // The folder, ending in a backslash.
    const std::wstring& Path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + name; }

private:
    std::wstring path_;
};
