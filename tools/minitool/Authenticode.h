#pragma once
// Authenticode signatures of a PE image: whether one is present and whether
// the image digest it signed still matches the file.
#include <string>

#include "PeImage.h"

namespace minitool {

struct SignatureCheck {
    bool isSigned = false;
    bool matching = false;
    std::string digestName;  // "SHA-256", "SHA-1", ...
    std::string detail;      // why it does not match, or why it cannot be read
    std::string signer;      // the signer certificate's subject, when it could be read
};

// Reads the first PKCS#7 SignedData of the certificate table, takes the
// digest of its SpcIndirectDataContent and compares it with the image digest
// computed here: the file up to the certificate table, without the checksum
// field and the security directory entry. Then checks that the signer's
// signature covers that digest (the certificate chain is not judged).
SignatureCheck CheckSignature(const Bytes& image, const PeImage& pe);

// Hex digest of a byte range with OpenSSL ("md5", "sha256", ...).
std::string HexDigest(const char* algorithm, const uint8_t* data, size_t size);

}  // namespace minitool
