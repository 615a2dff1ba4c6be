#include "report/ZelBody1.h"

#include "report/PackageBytes.h"
#include "base/TextConvert.h"

int CZelBody1::AddLine(const std::wstring& line)
{
    std::string narrow;
    if (!TryWideToCodePage(line + L"\n", CP_THREAD_ACP, &narrow)) return 0;
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
