#include "base/AppSettings.h"

AppSettings& GetAppSettings()
{
    static AppSettings settings;
    return settings;
}
