#include "tests/gnet/TestSupport.h"

#include <curl/curl.h>

#include <cstdlib>

#include "gnet/FileUtils.h"
#include "gnet/StringUtil.h"

namespace gnettest {

ScratchFolder::ScratchFolder() {
    wchar_t temp[MAX_PATH + 1] = {0};
    GetTempPathW(MAX_PATH, temp);
    wchar_t name[64];
    static LONG counter = 0;
    swprintf(name, 64, L"gnet_test_%lu_%ld", GetCurrentProcessId(), InterlockedIncrement(&counter));
    path_ = std::wstring(temp) + name;
    gnet::DeleteDirectory(path_, false);
    CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() { gnet::DeleteDirectory(path_, false); }

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD done = 0;
    if (!bytes.empty()) WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    CloseHandle(file);
}

std::string ReadBytes(const std::wstring& path) {
    std::string bytes;
    gnet::ReadWholeFile(path, bytes);
    return bytes;
}

std::string ServerAddress() {
    const char* address = getenv("MINISETUP_DOWNLOAD_SERVER");
    return address ? address : "";
}

std::wstring ServerUrl(const std::string& pathAndQuery) {
    return gnet::Utf8ToWide("http://" + ServerAddress() + pathAndQuery);
}

namespace {

size_t Collect(char* data, size_t size, size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

}  // namespace

std::string HttpGetText(const std::string& pathAndQuery) {
    std::string body;
    CURL* curl = curl_easy_init();
    if (!curl) return body;
    std::string url = "http://" + ServerAddress() + pathAndQuery;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
    curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    return body;
}

Json::Value HttpGetJson(const std::string& pathAndQuery) {
    Json::Value value;
    Json::Reader reader;
    reader.parse(HttpGetText(pathAndQuery), value, false);
    return value;
}

std::string ServedMd5(const std::string& contentPath) {
    return HttpGetJson("/info" + contentPath)["md5"].asString();
}

Json::Value ServerStats(const std::string& id) { return HttpGetJson("/stats?id=" + id); }

std::vector<int64_t> ServerGetStarts(const std::string& id) {
    // The stats value must outlive the walk over its member.
    Json::Value stats = ServerStats(id);
    std::vector<int64_t> starts;
    for (const Json::Value& start : stats["get_starts"]) starts.push_back(start.asInt64());
    return starts;
}

void ResetServerId(const std::string& id) { HttpGetText("/reset?id=" + id); }

}  // namespace gnettest
