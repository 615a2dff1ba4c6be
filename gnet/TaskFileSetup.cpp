#include "gnet/TaskFileSetup.h"

#include <windows.h>

#include "gnet/DownloadFile.h"
#include "gnet/FileUtils.h"
#include "gnet/Lock.h"

namespace gnet {

BlockList SplitIntoBlocks(int channelCount, int64_t blockSize, int64_t remoteSize) {
    BlockList blocks;
    if (remoteSize <= 0) return blocks;
    int64_t n = channelCount < 1 ? 1 : channelCount;
    if (blockSize > 0 && n * blockSize >= remoteSize) {
        int64_t count = (remoteSize + blockSize - 1) / blockSize;
        for (int64_t i = 0; i < count - 1; ++i) blocks[i * blockSize] = blockSize;
        blocks[(count - 1) * blockSize] = remoteSize - (count - 1) * blockSize;
        return blocks;
    }
    // Too small a block size (or none): exactly n parts, the last one takes the rest.
    if (remoteSize < n) n = remoteSize;
    int64_t part = remoteSize / n;
    for (int64_t i = 0; i < n - 1; ++i) blocks[i * part] = part;
    blocks[(n - 1) * part] = remoteSize - (n - 1) * part;
    return blocks;
}

namespace {

ReuseDecision Reject(const wchar_t* reason) {
    ReuseDecision decision;
    decision.reuse = false;
    if (reason) decision.reason = reason;
    return decision;
}

bool CanOpenForWriting(const std::wstring& path) {
    CScopedHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.Valid();
}

}  // namespace

ReuseDecision EvaluateRecordReuse(const CFileInfo& record, int64_t remoteSize, bool forceName,
                                  const std::wstring& requestedPath) {
    const std::wstring& recordedFile = record.GetFileName();
    if (recordedFile.empty() || !PathExists(recordedFile) || IsDirectory(recordedFile)) return Reject(nullptr);
    // The record lives in the destination folder and only ever names a file
    // there; a record naming a file elsewhere is not followed.
    if (lstrcmpiW(GetParentPath(recordedFile).c_str(), GetParentPath(requestedPath).c_str()) != 0)
        return Reject(nullptr);
    if (forceName && recordedFile != requestedPath) {
        DeleteFileW(recordedFile.c_str());
        return Reject(L"No ReuseSameFile : Force name");
    }
    if (!CanOpenForWriting(recordedFile)) return Reject(nullptr);
    if (record.GetFileSize() != remoteSize || GetFileSizeByName(recordedFile) != remoteSize)
        return Reject(L"No ReuseSameFile : RemoteFileSize no same");
    const BlockList& blocks = record.GetBlocks();
    if (static_cast<int64_t>(blocks.size()) != record.GetBlockNumber())
        return Reject(L"No ReuseSameFile : channel num error");
    for (const auto& block : blocks) {
        // Negative values would describe bytes outside the file or claim
        // missing bytes as present; such a record is not trusted.
        if (block.first < 0 || block.second < 0 || block.first + block.second > remoteSize)
            return Reject(L"No ReuseSameFile : configured size big than remote file");
    }
    ReuseDecision decision;
    decision.reuse = true;
    decision.blocks = blocks;
    return decision;
}

DestinationChoice ChooseDestination(const std::wstring& destinationPath, int64_t remoteSize) {
    DestinationChoice choice;
    choice.result = 0;
    if (!MakeUniqueFileName(destinationPath, choice.path)) {
        choice.result = kDownRetNoDestName;
        return choice;
    }
    if (GetFreeSpaceMB(choice.path) < static_cast<uint64_t>(remoteSize / 1048576) + 1) {
        choice.result = kDownRetDiskSpace;
        return choice;
    }
    return choice;
}

}  // namespace gnet
