// minitool: release helpers for MiniSetup images.
//   minitool stamp <MiniSetup.exe> <settings.txt> <output.exe>
//       writes a copy of the image whose settings area holds the given text
//       (UTF-8 file; stored as UTF-16LE with BOM and CRLF line ends).
//   minitool show <MiniSetup.exe>
//       prints the settings text of an image as UTF-8.
// Exit codes: 0 done, 1 refused (bad image, text does not fit), 2 usage or file error.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "PeSettings.h"

namespace {
const char kSection[] = ".brkcfg";

bool ReadFile(const char* path, std::vector<uint8_t>& bytes)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return true;
}

bool WriteFile(const char* path, const std::vector<uint8_t>& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(file);
}

int Usage()
{
    fprintf(stderr,
            "usage: minitool stamp <MiniSetup.exe> <settings.txt> <output.exe>\n"
            "       minitool show <MiniSetup.exe>\n");
    return 2;
}

int Fail(const char* path, const std::string& message)
{
    fprintf(stderr, "minitool: %s: %s\n", path, message.c_str());
    return 1;
}

int Stamp(const char* imagePath, const char* settingsPath, const char* outputPath)
{
    std::vector<uint8_t> image, settings;
    if (!ReadFile(imagePath, image)) return fprintf(stderr, "minitool: cannot read %s\n", imagePath), 2;
    if (!ReadFile(settingsPath, settings)) return fprintf(stderr, "minitool: cannot read %s\n", settingsPath), 2;
    minitool::SectionSpan span;
    std::string error;
    if (!minitool::FindSection(image, kSection, span, error)) return Fail(imagePath, error);
    std::vector<uint8_t> area;
    if (!minitool::EncodeSettings(std::string(settings.begin(), settings.end()), span.size, area, error))
        return Fail(settingsPath, error);
    std::copy(area.begin(), area.end(), image.begin() + std::ptrdiff_t(span.offset));
    minitool::UpdatePeChecksum(image);
    if (minitool::HasSignature(image))
        fprintf(stderr, "minitool: warning: %s is signed; sign the stamped copy again\n", imagePath);
    if (!WriteFile(outputPath, image)) return fprintf(stderr, "minitool: cannot write %s\n", outputPath), 2;
    return 0;
}

int Show(const char* imagePath)
{
    std::vector<uint8_t> image;
    if (!ReadFile(imagePath, image)) return fprintf(stderr, "minitool: cannot read %s\n", imagePath), 2;
    minitool::SectionSpan span;
    std::string error, text;
    if (!minitool::FindSection(image, kSection, span, error)) return Fail(imagePath, error);
    if (!minitool::DecodeSettings(image.data() + span.offset, span.size, text, error)) return Fail(imagePath, error);
    fputs(text.c_str(), stdout);
    return 0;
}
}  // namespace

int main(int argc, char** argv)
{
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "stamp" && argc == 5) return Stamp(argv[2], argv[3], argv[4]);
    if (command == "show" && argc == 3) return Show(argv[2]);
    return Usage();
}
