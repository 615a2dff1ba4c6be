#include "FileIo.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace minitool {

namespace {
struct FileCloser {
    void operator()(FILE* f) const
    {
        if (f) fclose(f);
    }
};
}  // namespace

bool ReadWholeFile(const std::string& path, Bytes& bytes, std::string& error)
{
    struct stat info = {};
    if (stat(path.c_str(), &info) != 0) {
        error = "cannot read " + path + ": " + strerror(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = "cannot read " + path + ": not a regular file";
        return false;
    }
    std::unique_ptr<FILE, FileCloser> file(fopen(path.c_str(), "rb"));
    if (!file) {
        error = "cannot read " + path + ": " + strerror(errno);
        return false;
    }
    bytes.clear();
    uint8_t chunk[65536];
    size_t n = 0;
    while ((n = fread(chunk, 1, sizeof chunk, file.get())) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    if (ferror(file.get())) {
        error = "cannot read " + path + ": " + strerror(errno);
        return false;
    }
    return true;
}

bool WriteFileAtomically(const std::string& path, const Bytes& bytes, std::string& error)
{
    const std::string temporary = path + ".partial-" + std::to_string(getpid());
    {
        std::unique_ptr<FILE, FileCloser> file(fopen(temporary.c_str(), "wb"));
        if (!file) {
            error = "cannot write " + path + ": " + strerror(errno);
            return false;
        }
        const bool written = fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size() &&
                             fflush(file.get()) == 0 && fsync(fileno(file.get())) == 0;
        FILE* raw = file.release();
        if (fclose(raw) != 0 || !written) {
            error = "cannot write " + path + ": " + strerror(errno);
            remove(temporary.c_str());
            return false;
        }
    }
    if (rename(temporary.c_str(), path.c_str()) != 0) {
        error = "cannot write " + path + ": " + strerror(errno);
        remove(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace minitool
