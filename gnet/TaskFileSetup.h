#pragma once
// Pieces of the task file setup: cutting a fresh file into blocks, deciding
// whether an existing record and target may be continued, and choosing the
// destination name of a fresh download.
#include <cstdint>
#include <string>

#include "gnet/FileInfo.h"

namespace gnet {

BlockList SplitIntoBlocks(int channelCount, int64_t blockSize, int64_t remoteSize);

struct ReuseDecision {
    bool reuse;
    // Log text of the rejection (after the source name); empty when silent.
    std::wstring reason;
    BlockList blocks;  // the recorded blocks when reuse is accepted
};

// Checks in order: recorded target present, forced name, openable for
// writing, size, block count, block bounds. A recorded target that conflicts
// with a forced name is deleted.
ReuseDecision EvaluateRecordReuse(const CFileInfo& record, int64_t remoteSize, bool forceName,
                                  const std::wstring& requestedPath);

struct DestinationChoice {
    int result;  // 0 on success, else a DownloadRet
    std::wstring path;
};

DestinationChoice ChooseDestination(const std::wstring& destinationPath, int64_t remoteSize);

}  // namespace gnet
