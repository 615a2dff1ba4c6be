#include "app/SettingsArea.h"

extern wchar_t g_settingsArea[kSettingsAreaChars];

const wchar_t* SettingsAreaText()
{
    const wchar_t* area = g_settingsArea;
    // The text may be rewritten in the built file: hide its initial contents
    // from the optimiser so every read goes to the image.
    __asm__ volatile("" : "+r"(area));
    return area;
}
