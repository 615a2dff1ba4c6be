#pragma once
// Helpers shared by the engine tests: a scratch folder, the test server's
// address and a few HTTP look-ups on it.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include <json/json.h>

namespace gnettest {

// A fresh folder under the temporary folder, deleted with everything in it.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    const std::wstring& Path() const { return path_; }
    std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

void WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path);

// "127.0.0.1:<port>" from MINISETUP_DOWNLOAD_SERVER; empty when not set.
std::string ServerAddress();
std::wstring ServerUrl(const std::string& pathAndQuery);
std::string HttpGetText(const std::string& pathAndQuery);
Json::Value HttpGetJson(const std::string& pathAndQuery);
std::string ServedMd5(const std::string& contentPath);
Json::Value ServerStats(const std::string& id);
// First byte of each GET the server received for this id, in order.
std::vector<int64_t> ServerGetStarts(const std::string& id);
void ResetServerId(const std::string& id);

}  // namespace gnettest
