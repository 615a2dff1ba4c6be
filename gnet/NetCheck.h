#pragma once

namespace gnet {

enum NetCheckResult { kNetNone = 0, kNetConnected = 1, kNetCheckFailed = 2 };

// Whether the machine has a default route: 1 yes, 0 no, 2 the check failed.
int CheckNetWork();

}  // namespace gnet
