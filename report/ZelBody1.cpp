#include "report/ZelBody1.h"

#include "report/PackageBytes.h"

int CZelBody1::AddLine(const std::wstring& line)
{
    std::wstring text = line + L"\n";
    int bytes = WideCharToMultiByte(CP_THREAD_ACP, 0, text.c_str(), int(text.size()), nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return 0;
    std::string narrow(size_t(bytes), '\0');
    WideCharToMultiByte(CP_THREAD_ACP, 0, text.c_str(), int(text.size()), &narrow[0], bytes, nullptr, nullptr);
    lines_.push_back(narrow);
    SetChanged(1);
    return 1;
}

int CZelBody1::Serialize(uint8_t* buffer, uint32_t* length)
{
    std::vector<uint8_t> bytes;
    for (const std::string& line : lines_) bytes.insert(bytes.end(), line.begin(), line.end());
    if (!CopySerialized(bytes, buffer, length)) return 0;
    lines_.clear();  // each write carries only the lines added since the last one
    return 1;
}
