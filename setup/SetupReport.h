#pragma once
// Report items of the setup chain and the send every step of it ends with.
#include <cstdint>

namespace setup_items {
constexpr uint32_t kMarker = 0x0200000B;            // "A"
constexpr uint32_t kInstallId = 0x04001B70;         // installation identity
constexpr uint32_t kPackageHost = 0x04001B5F;       // first address of the package host
constexpr uint32_t kFailure = 0x04001B60;           // engine result or setup result code
constexpr uint32_t kMaxChannels = 0x04001B61;
constexpr uint32_t kCostSeconds = 0x04001B62;
constexpr uint32_t kManifestVersion = 0x04001B64;
constexpr uint32_t kPackageUrl = 0x04001B67;        // address and query
constexpr uint32_t kUserAgent = 0x04001B68;
constexpr uint32_t kPackageDigest = 0x04001B69;     // digest of the downloaded file
constexpr uint32_t kPackageSize = 0x04001B6A;       // size of the downloaded file
constexpr uint32_t kManifestPackageMd5 = 0x04001B6B;
constexpr uint32_t kManifestPackageSize = 0x04001B6C;
constexpr uint32_t kManifestListMd5 = 0x04001B6D;
constexpr uint32_t kManifestUrl = 0x04001B6F;       // address and query
constexpr uint32_t kInstallerStarting = 0x05002330;
constexpr uint32_t kSignatureAccepted = 0x05002347;
}  // namespace setup_items

// Closes the current report for upload, then records the marker and the
// installation identity again so the next report carries them too.
void SendSetupReport();
