#pragma once
// Text conversions between UTF-16, UTF-8 and the ANSI code page, under the
// engine's own names.
#include "base/TextConvert.h"

namespace gnet {

using ::AnsiToWide;
using ::Utf8ToWide;
using ::WideToAnsi;
using ::WideToUtf8;

}  // namespace gnet
