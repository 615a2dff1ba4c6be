#pragma once
// Where everything of the setup window goes: the images, boxes, colours and
// texts of each page, in client coordinates. A few boxes follow the measured
// width of their text; those widths are inputs here, so the layout itself is
// plain arithmetic and can be checked without a device context.
#include <windows.h>

#include "ui/setup/FrameView.h"
#include "ui/setup/TextTable.h"

namespace frame {

// PNG resources (type "PNGRES") the window draws.
enum ImageId : UINT {
    kImageBackground = 2011,
    kImageArrowStrip = 2012,
    kImagePanel = 2013,
    kImageInstall = 2021,
    kImageInstallHover = 2022,
    kImageInstallPressed = 2023,
    kImageInstallDisabled = 2024,
    kImageMinimise = 2031,
    kImageMinimiseHover = 2032,
    kImageMinimisePressed = 2033,
    kImageClose = 2041,
    kImageCloseHover = 2042,  // also the pressed look
    kImageProgressTrack = 2051,
    kImageProgressFill = 2052,
    kImageProgressShine = 2053,
    kImageChecked = 2061,
    kImageCheckedHover = 2062,  // also the pressed look
    kImageUnchecked = 2071,
    kImageUncheckedHover = 2072,
    kImagePanelArrowDown = 2081,  // panel collapsed
    kImagePanelArrowUp = 2082,    // panel expanded
    kImageBrowse = 2091,
    kImageBrowseHover = 2092,
    kImageBrowsePressed = 2093,
    kImageLanguage = 2094,
    kImageLanguageHover = 2095,
    kImageLanguagePressed = 2096,
    kImageTipIcon = 2097,
    kImageTipBubble = 2099,
    kImageStatusIcon = 2110,
    kImageLogo = 2151,
};

constexpr COLORREF kWhite = RGB(0xFF, 0xFF, 0xFF);
constexpr COLORREF kLinkColour = RGB(0x56, 0xD5, 0xFF);
constexpr COLORREF kFolderLabelColour = RGB(0xF4, 0xF4, 0xF4);
constexpr COLORREF kStatusColour = RGB(0xF5, 0xF5, 0xF5);
constexpr COLORREF kFailureTitleColour = RGB(0xFF, 0xCC, 0x8F);
constexpr COLORREF kTipTextColour = RGB(0xD0, 0x38, 0x37);
// Shown where the background image is missing.
constexpr COLORREF kBackgroundFallback = RGB(0x1E, 0x63, 0xC8);

// Fonts: Tahoma of these cell heights.
constexpr int kSmallFont = 13;   // texts, links; also the font text widths are measured in
constexpr int kTitleFont = 16;   // failure titles, the no-space tip
constexpr int kInstallFont = 27; // the Install label

constexpr RECT Box(int x, int y, int width, int height) { return RECT{x, y, x + width, y + height}; }

// ---- every page
constexpr RECT kBackgroundBox = Box(0, 0, 620, 340);
constexpr RECT kMinimiseBox = Box(543, 1, 31, 23);
constexpr RECT kCloseBox = Box(574, 1, 45, 23);
constexpr POINT kLogoOnStart = {60, 70};
constexpr POINT kLogoElsewhere = {155, 70};
constexpr SIZE kLogoSize = {299, 82};

// ---- Start page
constexpr RECT kInstallBox = Box(390, 90, 172, 51);
constexpr RECT kInstallLabelBox = {470, 90, 562, 141};
constexpr SIZE kArrowFrameSize = {32, 29};
constexpr int kArrowFrames = 4;
constexpr RECT kArrowBox = Box(419, 100, 32, 29);
constexpr RECT kStatementBox = {154, 195, 412, 225};
constexpr RECT kPrivacyLinkBox = {155, 230, 355, 245};
constexpr RECT kLicenceLinkBox = {155, 250, 355, 265};
constexpr RECT kCheckBox = Box(155, 276, 17, 15);
constexpr SIZE kPanelArrowSize = {8, 6};

// ---- the custom installation panel (Start page, while expanded)
constexpr RECT kPanelBox = Box(0, 340, 620, 47);
constexpr RECT kBrowseBox = Box(282, 353, 26, 21);
constexpr RECT kLanguageButtonBox = Box(590, 359, 10, 6);
constexpr int kFolderRight = 272;   // the folder text ends before the browse button
constexpr RECT kTipBox = {22, 318, 262, 345};

// ---- Progress page
constexpr RECT kProgressBox = {36, 273, 591, 290};
constexpr RECT kStatusBox = {36, 255, 516, 273};

// Widths of texts in Tahoma 13 normal, measured by the view.
struct TextWidths {
    int checkLabel = 0;     // IDS_IHaveRead
    int customInstall = 0;  // IDS_CustomInstall
    int folderLabel = 0;    // IDS_Folder
    int languageName = 0;   // the current language's display name
};

// The boxes of the Start page and its panel that follow a measured width.
struct StartBoxes {
    RECT checkLabel;    // (174, 273, 174 + w, 293)
    POINT panelArrow;   // (585 - w, 317)
    RECT customLink;    // (600 - w, 310, 605, 330): the right end stays
    RECT folderLabel;   // (22, 353, 47 + f, 373)
    RECT folder;        // (47 + f, 353, 272, 373)
    RECT languageName;  // (585 - n, 353, 590, 373)
};
StartBoxes ArrangeStart(const TextWidths& widths);

// One failure page: status icon, title, optional detail, one or two buttons.
struct FailureLayout {
    POINT icon;           // the 12 x 12 status icon
    TextId title;
    RECT titleBox;        // as high as the icon
    bool hasDetail;
    bool detailWrapped;   // else single line
    RECT detailBox;
    RECT closeBox;
    bool closeGreen;      // else the light style
    bool hasRetry;
    RECT retryBox;        // green
};
// False for the pages that are not failure pages (Start, Progress).
bool ArrangeFailure(FramePage page, LANGID langId, FailureLayout* layout);

// Language whose Retry label needs a wider button (its left edge at 488).
constexpr LANGID kWideRetryLanguage = 1046;

}  // namespace frame
