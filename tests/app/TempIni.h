#pragma once
// An INI text in a temporary file for the time of one check, read through the
// real profile functions.
#include <gtest/gtest.h>

#include "app/IniText.h"

class Ini {
public:
    explicit Ini(const std::wstring& text) : temp_(text), file_(temp_.File()) { EXPECT_TRUE(temp_.Valid()); }
    operator const CIniFile&() const { return file_; }
    const CIniFile* operator->() const { return &file_; }

private:
    CTempIniFile temp_;
    CIniFile file_;
};
