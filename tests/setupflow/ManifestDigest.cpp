// setupflow_manifest_digest <manifest file>: prints the digest the manifest's
// update_info md5 must hold, so test scripts can serve manifests that pass
// (or, on purpose, fail) the self-check.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "base/MD5Checksum.h"
#include "setup/UpdateManifest.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: setupflow_manifest_digest <manifest file>\n");
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    UpdateManifest manifest;
    std::string copy;
    if (!file.good() && !file.eof()) return 2;
    if (!ParseUpdateManifest(bytes, &manifest, &copy)) {
        fprintf(stderr, "setupflow_manifest_digest: the manifest does not parse\n");
        return 1;
    }
    printf("%s\n", CMD5Checksum::HexOfBytes(copy.data(), copy.size()).c_str());
    return 0;
}
