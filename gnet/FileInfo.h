#pragma once
// The ".gnet" resume record: which byte ranges of the target are still missing.
#include <cstdint>
#include <map>
#include <string>

namespace gnet {

// Position of the next byte still to fetch -> bytes still to fetch from there.
typedef std::map<int64_t, int64_t> BlockList;

class CFileInfo {
public:
    CFileInfo();

    // Record path = base + ".gnet"; reads the record if there is one.
    void SetPath(const std::wstring& base);
    void ReadFromFile();
    void SaveToFile();
    void DelFile();

    // The record text as the compact JSON writer makes it.
    std::string ToJson() const;
    // Fills the fields from record text; false when it is not a usable record.
    bool ParseJson(const std::string& text);
    void Reset();

    const std::wstring& GetRecordPath() const { return recordPath_; }
    const std::wstring& GetFileTime() const { return fileTime_; }
    void SetFileTime(const std::wstring& value) { fileTime_ = value; }
    const std::wstring& GetFileName() const { return fileName_; }
    void SetFileName(const std::wstring& value) { fileName_ = value; }
    int GetBlockNumber() const { return blockNumber_; }
    void SetBlockNumber(int value) { blockNumber_ = value; }
    bool IsLoaded() const { return loaded_; }
    bool IsSaved() const { return saved_; }
    const BlockList& GetBlocks() const { return blocks_; }
    void SetBlocks(const BlockList& blocks) { blocks_ = blocks; }
    int64_t GetFileSize() const { return fileSize_; }
    void SetFileSize(int64_t value) { fileSize_ = value; }
    const std::string& GetRawText() const { return rawText_; }

    // Creation time stamp of a download, UTC, "%d%02d%02d%02d%02d%02d".
    static std::wstring MakeFileTimeNow();

private:
    std::wstring recordPath_;
    std::wstring fileTime_;
    std::wstring fileName_;
    int blockNumber_;
    bool loaded_;
    bool saved_;
    BlockList blocks_;
    int64_t fileSize_;
    std::string rawText_;
};

// Record name of a download: MD5 of the URL's ANSI bytes, lower-case hex.
std::wstring MakeRecordName(const std::wstring& url);

}  // namespace gnet
