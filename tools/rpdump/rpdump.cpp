// rpdump: prints a report package as JSON so people can read what a client sent.
//   rpdump <package file>
// Exit codes: 0 decoded, 1 malformed package, 2 usage or file error.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "PackageReader.h"

int main(int argc, char** argv)
{
    if (argc != 2 || std::string(argv[1]) == "--help") {
        fprintf(stderr, "usage: rpdump <package file>\n");
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    if (!file) {
        fprintf(stderr, "rpdump: cannot open %s\n", argv[1]);
        return 2;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    rp::Package package;
    std::string error;
    if (!rp::ReadPackage(bytes, package, error)) {
        fprintf(stderr, "rpdump: %s: malformed package: %s\n", argv[1], error.c_str());
        return 1;
    }
    fputs(rp::PackageToJson(package).c_str(), stdout);
    return 0;
}
