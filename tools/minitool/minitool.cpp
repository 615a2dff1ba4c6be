// minitool: release helpers for MiniSetup images (PE32 and PE32+).
//   minitool stamp <MiniSetup.exe> <settings.txt> <output.exe>
//       writes a copy of the image whose settings area holds the given text
//       (UTF-8 or UTF-16; stored as UTF-16LE with BOM and CRLF line ends).
//       The text must be INI and carry every key the program reads.
//   minitool show <MiniSetup.exe>
//       prints the settings text of an image as UTF-8.
//   minitool embed <MiniSetup.exe> <package.exe> <output.exe>
//       writes an offline installer: a copy that carries the package in a
//       section named "full" and starts it without downloading.
//   minitool inspect <MiniSetup.exe>
//       prints the version information, the requested execution level, the
//       settings text, the embedded package and the signature state.
// Exit codes: 0 done, 1 refused (bad image or text; nothing is written),
// 2 usage or file error.
#include <algorithm>
#include <cstdio>
#include <string>

#include "Authenticode.h"
#include "FileIo.h"
#include "PeEmbed.h"
#include "PeImage.h"
#include "PeResources.h"
#include "PeSettings.h"
#include "SettingsText.h"

namespace {

using minitool::Bytes;

const char kSettingsSection[] = ".brkcfg";
constexpr int kRefused = 1;
constexpr int kFileError = 2;

int Usage()
{
    fprintf(stderr,
            "usage: minitool stamp <MiniSetup.exe> <settings.txt> <output.exe>\n"
            "       minitool show <MiniSetup.exe>\n"
            "       minitool embed <MiniSetup.exe> <package.exe> <output.exe>\n"
            "       minitool inspect <MiniSetup.exe>\n");
    return kFileError;
}

int Refuse(const std::string& path, const std::string& message)
{
    fprintf(stderr, "minitool: %s: %s\n", path.c_str(), message.c_str());
    return kRefused;
}

int FileError(const std::string& message)
{
    fprintf(stderr, "minitool: %s\n", message.c_str());
    return kFileError;
}

// Reads a file that must be a sound PE image.
int ReadImage(const std::string& path, Bytes& image, minitool::PeImage& pe)
{
    std::string error;
    if (!minitool::ReadWholeFile(path, image, error)) return FileError(error);
    if (!pe.Parse(image, error)) return Refuse(path, error);
    return 0;
}

void SetChecksum(Bytes& image, const minitool::PeImage& pe)
{
    minitool::PutLe32(image, pe.ChecksumOffset(), minitool::ComputePeChecksum(image, pe.ChecksumOffset()));
}

int Stamp(const std::string& imagePath, const std::string& settingsPath, const std::string& outputPath)
{
    Bytes image, raw;
    minitool::PeImage pe;
    if (int rc = ReadImage(imagePath, image, pe)) return rc;
    std::string error, text;
    if (!minitool::ReadWholeFile(settingsPath, raw, error)) return FileError(error);
    minitool::SectionSpan span;
    if (!minitool::FindSection(image, kSettingsSection, span, error)) return Refuse(imagePath, error);
    if (!minitool::SettingsFileToUtf8(raw, text, error)) return Refuse(settingsPath, error);
    std::vector<uint8_t> area;
    if (!minitool::EncodeSettings(text, span.size, area, error)) return Refuse(settingsPath, error);
    if (!minitool::CheckSettingsText(text, error)) return Refuse(settingsPath, error);
    const bool changed = !std::equal(area.begin(), area.end(), image.begin() + std::ptrdiff_t(span.offset));
    std::copy(area.begin(), area.end(), image.begin() + std::ptrdiff_t(span.offset));
    SetChecksum(image, pe);
    if (changed && minitool::CheckSignature(image, pe).isSigned)
        fprintf(stderr, "minitool: warning: %s is signed; its signature no longer matches: sign the copy again\n",
                imagePath.c_str());
    if (!minitool::WriteFileAtomically(outputPath, image, error)) return FileError(error);
    return 0;
}

int Show(const std::string& imagePath)
{
    Bytes image;
    minitool::PeImage pe;
    if (int rc = ReadImage(imagePath, image, pe)) return rc;
    minitool::SectionSpan span;
    std::string error, text;
    if (!minitool::FindSection(image, kSettingsSection, span, error)) return Refuse(imagePath, error);
    if (!minitool::DecodeSettings(image.data() + span.offset, span.size, text, error)) return Refuse(imagePath, error);
    fputs(text.c_str(), stdout);
    return 0;
}

int Embed(const std::string& imagePath, const std::string& packagePath, const std::string& outputPath)
{
    Bytes image, package;
    minitool::PeImage pe, packagePe;
    if (int rc = ReadImage(imagePath, image, pe)) return rc;
    if (int rc = ReadImage(packagePath, package, packagePe)) return rc;
    std::string error;
    minitool::SectionSpan settings;
    if (!minitool::FindSection(image, kSettingsSection, settings, error)) return Refuse(imagePath, error);
    minitool::EmbedResult result;
    if (!minitool::EmbedPackage(image, package, result, error)) return Refuse(imagePath, error);
    if (result.droppedSignature)
        fprintf(stderr, "minitool: warning: %s was signed; the copy carries no signature: sign it again\n",
                imagePath.c_str());
    if (!minitool::WriteFileAtomically(outputPath, image, error)) return FileError(error);
    return 0;
}

void PrintIndented(const std::string& text)
{
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        printf("  %s\n", line.c_str());
        if (end == std::string::npos) break;
        at = end + 1;
    }
}

void InspectVersion(const Bytes& image, const minitool::PeImage& pe)
{
    size_t offset = 0, size = 0;
    minitool::VersionInfo info;
    std::string error;
    if (!minitool::FindResourceData(image, pe, minitool::kVersionResourceType, offset, size)) {
        printf("Version information: none\n");
        return;
    }
    if (!minitool::ParseVersionInfo(image.data() + offset, size, info, error)) {
        printf("Version information: unreadable (%s)\n", error.c_str());
        return;
    }
    printf("Version information:\n");
    if (!info.fileVersion.empty()) printf("  File version: %s\n", info.fileVersion.c_str());
    if (!info.productVersion.empty()) printf("  Product version: %s\n", info.productVersion.c_str());
    for (const auto& entry : info.strings) printf("  %s: %s\n", entry.first.c_str(), entry.second.c_str());
}

void InspectExecutionLevel(const Bytes& image, const minitool::PeImage& pe)
{
    size_t offset = 0, size = 0;
    if (!minitool::FindResourceData(image, pe, minitool::kManifestResourceType, offset, size)) {
        printf("Requested execution level: none (no manifest)\n");
        return;
    }
    std::string manifest(image.begin() + std::ptrdiff_t(offset), image.begin() + std::ptrdiff_t(offset + size));
    std::string level = minitool::RequestedExecutionLevel(manifest);
    printf("Requested execution level: %s\n", level.empty() ? "none (the manifest asks for none)" : level.c_str());
}

void InspectSettings(const Bytes& image)
{
    minitool::SectionSpan span;
    std::string error, text;
    if (!minitool::FindSection(image, kSettingsSection, span, error)) {
        printf("Settings text: none (%s)\n", error.c_str());
        return;
    }
    if (!minitool::DecodeSettings(image.data() + span.offset, span.size, text, error)) {
        printf("Settings text: unreadable (%s)\n", error.c_str());
        return;
    }
    printf("Settings text (section %s, %zu bytes):\n", kSettingsSection, span.size);
    PrintIndented(text);
}

void InspectPackage(const Bytes& image, const minitool::PeImage& pe)
{
    size_t offset = 0, payload = 0, raw = 0;
    if (!minitool::FindPackage(image, pe, offset, payload, raw)) {
        printf("Embedded package: none\n");
        return;
    }
    printf("Embedded package: %zu bytes, MD5 %s (section \"full\", %zu bytes of raw data)\n", payload,
           minitool::HexDigest("md5", image.data() + offset, payload).c_str(), raw);
}

void InspectSignature(const Bytes& image, const minitool::PeImage& pe)
{
    minitool::SignatureCheck check = minitool::CheckSignature(image, pe);
    if (!check.isSigned) {
        printf("Signature: not signed\n");
    } else if (check.matching) {
        printf("Signature: signed, matching (%s image digest)\n", check.digestName.c_str());
    } else {
        printf("Signature: signed, not matching (%s)\n", check.detail.c_str());
    }
    if (!check.signer.empty()) printf("Signer: %s\n", check.signer.c_str());
}

int Inspect(const std::string& imagePath)
{
    Bytes image;
    minitool::PeImage pe;
    if (int rc = ReadImage(imagePath, image, pe)) return rc;
    const uint32_t stored = minitool::GetLe32(image, pe.ChecksumOffset());
    const uint32_t computed = minitool::ComputePeChecksum(image, pe.ChecksumOffset());
    printf("File: %s\n", imagePath.c_str());
    printf("Format: %s, %zu bytes, %zu sections\n", pe.FormatName().c_str(), image.size(), pe.Sections().size());
    printf("Checksum: 0x%08X (%s)\n", stored,
           stored == 0 ? "not set" : stored == computed ? "matching" : "not matching");
    InspectVersion(image, pe);
    InspectExecutionLevel(image, pe);
    InspectPackage(image, pe);
    InspectSignature(image, pe);
    InspectSettings(image);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "stamp" && argc == 5) return Stamp(argv[2], argv[3], argv[4]);
    if (command == "show" && argc == 3) return Show(argv[2]);
    if (command == "embed" && argc == 5) return Embed(argv[2], argv[3], argv[4]);
    if (command == "inspect" && argc == 3) return Inspect(argv[2]);
    return Usage();
}
