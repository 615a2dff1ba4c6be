#include "gnet/FileInfo.h"

#include <windows.h>

#include <json/json.h>

#include <cstdlib>
#include <stdexcept>

#include "gnet/FileUtils.h"
#include "gnet/SimpleDebugLog.h"
#include "gnet/StringUtil.h"
#include "base/MD5Checksum.h"

namespace gnet {
namespace {

std::string Decimal(int64_t value) { return std::to_string(value); }

// Record values are decimal texts; anything else makes the record unusable.
int64_t ParseDecimal(const Json::Value& value) {
    if (!value.isString()) throw std::runtime_error("record value is not a string");
    return _strtoi64(value.asString().c_str(), nullptr, 10);
}

std::string TextOf(const Json::Value& value) {
    if (!value.isString()) throw std::runtime_error("record value is not a string");
    return value.asString();
}

}  // namespace

CFileInfo::CFileInfo() : blockNumber_(0), loaded_(false), saved_(false), fileSize_(0) {}

void CFileInfo::Reset() {
    fileTime_.clear();
    fileName_.clear();
    blockNumber_ = 0;
    loaded_ = false;
    saved_ = false;
    blocks_.clear();
    fileSize_ = 0;
    rawText_.clear();
}

void CFileInfo::SetPath(const std::wstring& base) {
    recordPath_ = base + L".gnet";
    try {
        ReadFromFile();
    } catch (...) {
        Reset();
    }
}

void CFileInfo::ReadFromFile() {
    if (recordPath_.empty() || !PathExists(recordPath_) || IsDirectory(recordPath_)) {
        PrintLog(L"%ls, no gnet file: %ls", L"gnet::CFileInfo::ReadFromFile", recordPath_.c_str());
        return;
    }
    std::string text;
    if (!ReadWholeFile(recordPath_, text)) return;
    rawText_ = text;
    PrintLog(L"%ls gnet info: %ls", L"gnet::CFileInfo::ReadFromFile", Utf8ToWide(text).c_str());
    if (!ParseJson(text)) return;
}

bool CFileInfo::ParseJson(const std::string& text) {
    Json::Value root;
    Json::Reader reader(Json::Features::all());
    if (!reader.parse(text, root, false) || !root.isObject()) return false;
    // Values are read into locals first so a record that throws half-way
    // leaves nothing half-applied for the caller to reset.
    int64_t fileSize = ParseDecimal(root["filesize"]);
    std::wstring fileTime = Utf8ToWide(TextOf(root["filetime"]));
    int blockNumber = static_cast<int>(ParseDecimal(root["block_num"]));
    std::wstring fileName = Utf8ToWide(TextOf(root["file_name"]));
    BlockList blocks;
    const Json::Value& list = root["blocks"];
    if (list.isArray()) {
        for (Json::ArrayIndex i = 0; i < list.size(); ++i) {
            if (!list[i].isObject()) throw std::runtime_error("record block is not an object");
            blocks.insert(std::make_pair(ParseDecimal(list[i]["pos"]), ParseDecimal(list[i]["len"])));
        }
    }
    fileSize_ = fileSize;
    fileTime_ = fileTime;
    blockNumber_ = blockNumber;
    fileName_ = fileName;
    blocks_.swap(blocks);
    loaded_ = true;
    return true;
}

std::string CFileInfo::ToJson() const {
    Json::Value root(Json::objectValue);
    root["block_num"] = Decimal(blockNumber_);
    Json::Value list(Json::arrayValue);
    for (const auto& block : blocks_) {
        Json::Value entry(Json::objectValue);
        entry["pos"] = Decimal(block.first);
        entry["len"] = Decimal(block.second);
        list.append(entry);
    }
    root["blocks"] = list;
    root["file_name"] = WideToUtf8(fileName_);
    root["filesize"] = Decimal(fileSize_);
    root["filetime"] = WideToUtf8(fileTime_);
    Json::FastWriter writer;
    return writer.write(root);
}

void CFileInfo::SaveToFile() {
    try {
        saved_ = false;
        WriteFileAtomically(recordPath_, ToJson());
        saved_ = true;
    } catch (...) {
        saved_ = false;
    }
}

void CFileInfo::DelFile() {
    if (!DeleteFileW(recordPath_.c_str()))
        PrintLog(L"%ls, GetLastError=%d", L"gnet::CFileInfo::DelFile", static_cast<int>(GetLastError()));
}

std::wstring CFileInfo::MakeFileTimeNow() {
    SYSTEMTIME now;
    GetSystemTime(&now);
    wchar_t text[32];
    swprintf(text, 32, L"%d%02d%02d%02d%02d%02d", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
             now.wSecond);
    return text;
}

std::wstring MakeRecordName(const std::wstring& url) {
    return AnsiToWide(CMD5Checksum::HexOfText(WideToAnsi(url)));
}

}  // namespace gnet
