#include "app/AppSettings.h"

AppSettings& GetAppSettings()
{
    static AppSettings settings;
    return settings;
}
