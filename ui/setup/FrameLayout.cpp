#include "ui/setup/FrameLayout.h"

namespace frame {
namespace {

constexpr int kStatusIconSize = 12;

// The failure pages, one row each; the Retry box is the one for every
// language but kWideRetryLanguage.
struct FailureRow {
    FramePage page;
    FailureLayout layout;
};

constexpr RECT kNoBox = {0, 0, 0, 0};
constexpr RECT kLowerLeftButton = {22, 291, 112, 318};
constexpr RECT kLowerRightButton = {508, 291, 598, 318};

constexpr FailureRow kFailurePages[] = {
    {FramePage::DownloadFailed,
     {{251, 185}, IDS_DownloadFail, {268, 185, 448, 185 + kStatusIconSize}, true, false, {251, 215, 471, 235},
      kLowerLeftButton, false, true, kLowerRightButton}},
    {FramePage::InstallFailed,
     {{251, 185}, IDS_InstallFailed, {268, 185, 388, 185 + kStatusIconSize}, true, true, {251, 215, 471, 315},
      kLowerRightButton, true, false, kNoBox}},
    {FramePage::NotAdmin,
     {{231, 185}, IDS_IsNotAdmin, {248, 185, 488, 185 + kStatusIconSize}, false, false, kNoBox, kLowerRightButton,
      true, false, kNoBox}},
    {FramePage::UnsupportedSystem,
     {{201, 185}, IDS_IsInvalidSystem, {218, 185, 488, 185 + kStatusIconSize}, false, false, kNoBox,
      {508, 291, 593, 315}, true, false, kNoBox}},
};

constexpr int kWideRetryLeft = 488;

}  // namespace

StartBoxes ArrangeStart(const TextWidths& widths) {
    StartBoxes boxes;
    boxes.checkLabel = RECT{174, 273, 174 + widths.checkLabel, 293};
    boxes.panelArrow = POINT{585 - widths.customInstall, 317};
    boxes.customLink = RECT{600 - widths.customInstall, 310, 605, 330};
    boxes.folderLabel = RECT{22, 353, 47 + widths.folderLabel, 373};
    boxes.folder = RECT{47 + widths.folderLabel, 353, kFolderRight, 373};
    boxes.languageName = RECT{585 - widths.languageName, 353, 590, 373};
    return boxes;
}

bool ArrangeFailure(FramePage page, LANGID langId, FailureLayout* layout) {
    for (const FailureRow& row : kFailurePages) {
        if (row.page != page) continue;
        *layout = row.layout;
        if (layout->hasRetry && langId == kWideRetryLanguage) layout->retryBox.left = kWideRetryLeft;
        return true;
    }
    return false;
}

}  // namespace frame
