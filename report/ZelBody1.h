#pragma once
// A text-line body: lines in the thread's ANSI code page, each written once.
#include <string>
#include <vector>

#include "report/Component.h"

class CZelBody1 : public Bodybase {
public:
    int Serialize(uint8_t* buffer, uint32_t* length) override;
    void Clear() override { lines_.clear(); }
    int AddLine(const std::wstring& line) override;

private:
    std::vector<std::string> lines_;
};
