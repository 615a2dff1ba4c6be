#include "setup/UpdateManifest.h"

#include <windows.h>

#include <cwchar>
#include <cwctype>
#include <iterator>

#include <rapidxml/rapidxml.hpp>
#include <rapidxml/rapidxml_print.hpp>

#include "base/DebugLog.h"
#include "base/MD5Checksum.h"
#include "base/TextConvert.h"
#include "report/Report.h"

namespace {

constexpr uint32_t kItemManifestDigest = 0x04001B6E;
constexpr int kReportKind = 0;
// The parser recurses once per nesting level; real manifests have two.
constexpr int kMaxNestingDepth = 64;
constexpr size_t kMaxFileNameChars = 251;  // leaves room for ".exe"
constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";
constexpr char kDeclarationName[] = "xml version=\"1.0\" encoding=\"UTF-8\"";

// Skips to the end of `terminator`; false when the text ends first.
bool SkipPast(const std::string& text, size_t* pos, const char* terminator)
{
    const size_t end = text.find(terminator, *pos);
    if (end == std::string::npos)
        return false;
    *pos = end + std::char_traits<char>::length(terminator);
    return true;
}

// Skips an element tag up to its '>', honouring quoted attribute values.
// Sets `selfClosing` for "<x/>".
bool SkipTag(const std::string& text, size_t* pos, bool* selfClosing)
{
    char quote = 0;
    for (size_t i = *pos; i < text.size(); ++i) {
        const char c = text[i];
        if (quote != 0) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            *selfClosing = i > *pos && text[i - 1] == '/';
            *pos = i + 1;
            return true;
        }
    }
    return false;
}

// Refuses documents nested deeper than the parser should recurse. Malformed
// markup is left for the parser to reject.
bool NestingWithinLimit(const std::string& text)
{
    int depth = 0;
    size_t pos = 0;
    while ((pos = text.find('<', pos)) != std::string::npos) {
        if (text.compare(pos, 4, "<!--") == 0) {
            if (!SkipPast(text, &pos, "-->"))
                return true;
        } else if (text.compare(pos, 9, "<![CDATA[") == 0) {
            if (!SkipPast(text, &pos, "]]>"))
                return true;
        } else if (text.compare(pos, 2, "<?") == 0) {
            if (!SkipPast(text, &pos, "?>"))
                return true;
        } else if (text.compare(pos, 2, "<!") == 0 || text.compare(pos, 2, "</") == 0) {
            if (text[pos + 1] == '/')
                --depth;
            if (!SkipPast(text, &pos, ">"))
                return true;
        } else {
            bool selfClosing = false;
            ++pos;
            if (!SkipTag(text, &pos, &selfClosing))
                return true;
            if (!selfClosing && ++depth > kMaxNestingDepth)
                return false;
        }
    }
    return true;
}

std::wstring AttributeText(rapidxml::xml_node<char>* node, const char* name)
{
    rapidxml::xml_attribute<char>* attribute = node->first_attribute(name);
    if (attribute == nullptr)
        return std::wstring();
    return Utf8ToWide(std::string(attribute->value(), attribute->value_size()));
}

void ReadItem(rapidxml::xml_node<char>* item, UpdateManifest* m)
{
    m->name = AttributeText(item, "name");
    m->version = AttributeText(item, "version");
    m->type = AttributeText(item, "type");
    m->mode = AttributeText(item, "mode");
    m->requireAdmin = AttributeText(item, "require_admin");
    m->parameter = AttributeText(item, "parameter");
    m->size = AttributeText(item, "size");
    m->md5 = AttributeText(item, "md5");
    m->url = AttributeText(item, "url");
    const std::wstring thread = AttributeText(item, "thread");
    if (!thread.empty())
        m->thread = static_cast<int>(std::wcstol(thread.c_str(), nullptr, 10));
    m->promotionPolicy = AttributeText(item, "promotion_policy");
    m->policyMd5 = AttributeText(item, "policy_md5");
}

// The document as the check copy holds it: md5 emptied and moved last, an
// XML declaration in front, printed without indenting after a UTF-8 BOM.
std::string PrintCheckCopy(rapidxml::xml_document<char>* doc, rapidxml::xml_node<char>* root)
{
    if (rapidxml::xml_attribute<char>* md5 = root->first_attribute("md5"))
        root->remove_attribute(md5);
    root->append_attribute(doc->allocate_attribute("md5", ""));
    doc->prepend_node(doc->allocate_node(rapidxml::node_pi, kDeclarationName, ""));
    std::string out = kUtf8Bom;
    rapidxml::print(std::back_inserter(out), *doc, rapidxml::print_no_indenting);
    return out;
}

bool IsReservedFileNameChar(wchar_t c)
{
    return c < 0x20 || std::wcschr(L"<>:\"/\\|?*", c) != nullptr;
}

bool IsDeviceName(std::wstring stem)
{
    while (!stem.empty() && stem.back() == L' ')
        stem.pop_back();
    for (wchar_t& c : stem)
        c = static_cast<wchar_t>(std::towupper(c));
    static const wchar_t* const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$", L"CLOCK$"};
    for (const wchar_t* device : kDevices)
        if (stem == device)
            return true;
    const bool numbered = stem.size() == 4 && (stem.compare(0, 3, L"COM") == 0 || stem.compare(0, 3, L"LPT") == 0);
    return numbered && ((stem[3] >= L'0' && stem[3] <= L'9') || stem[3] == 0xB9 || stem[3] == 0xB2 || stem[3] == 0xB3);
}

bool HexDigest(const std::wstring& text)
{
    if (text.size() != 32)
        return false;
    for (wchar_t c : text)
        if (!std::iswxdigit(c))
            return false;
    return true;
}

bool ReadWholeFile(const std::wstring& path, std::string* bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool ok = false;
    LARGE_INTEGER size;
    if (GetFileSizeEx(file, &size) && size.QuadPart <= static_cast<LONGLONG>(kMaxManifestBytes)) {
        bytes->resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        ok = bytes->empty() ||
             (ReadFile(file, &(*bytes)[0], static_cast<DWORD>(bytes->size()), &read, nullptr) &&
              read == bytes->size());
    }
    CloseHandle(file);
    return ok;
}

// Writes to "<path>.tmp" and moves it over `path` once every byte is written.
bool WriteFileReplacing(const std::wstring& path, const std::string& bytes)
{
    const std::wstring temp = path + L".tmp";
    HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool complete = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                          written == bytes.size();
    CloseHandle(file);
    return complete && MoveFileExW(temp.c_str(), path.c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH);
}

}  // namespace

bool IsPlainFileName(const std::wstring& name)
{
    if (name.empty() || name.size() > kMaxFileNameChars)
        return false;
    for (wchar_t c : name)
        if (IsReservedFileNameChar(c))
            return false;
    // Windows drops trailing dots and blanks, and ".." walks out of the folder.
    if (name.find(L"..") != std::wstring::npos || name.back() == L'.' || name.back() == L' ')
        return false;
    return !IsDeviceName(name.substr(0, name.find(L'.')));
}

bool IsHttpAddress(const std::wstring& url)
{
    size_t hostStart = 0;
    if (_wcsnicmp(url.c_str(), L"http://", 7) == 0)
        hostStart = 7;
    else if (_wcsnicmp(url.c_str(), L"https://", 8) == 0)
        hostStart = 8;
    else
        return false;
    for (wchar_t c : url)
        if (c <= 0x20 || c == 0x7F)
            return false;
    const size_t hostEnd = url.find_first_of(L"/?#", hostStart);
    return (hostEnd == std::wstring::npos ? url.size() : hostEnd) > hostStart;
}

bool ParseUpdateManifest(std::string bytes, UpdateManifest* manifest, std::string* checkCopy)
{
    if (bytes.size() > kMaxManifestBytes || !NestingWithinLimit(bytes)) {
        DebugLog(L"Manifest refused: %u bytes or nested too deeply", static_cast<unsigned>(bytes.size()));
        return false;
    }
    bytes.push_back('\0');  // the parser reads up to the terminating zero
    try {
        rapidxml::xml_document<char> doc;
        doc.parse<0>(&bytes[0]);
        rapidxml::xml_node<char>* root = doc.first_node("update_info");
        rapidxml::xml_node<char>* item = root ? root->first_node("item") : nullptr;
        if (item == nullptr) {
            DebugLog(L"Manifest refused: no update_info with an item");
            return false;
        }
        UpdateManifest read = *manifest;
        read.listMd5 = AttributeText(root, "md5");
        ReadItem(item, &read);
        if (!IsPlainFileName(read.name) || !IsHttpAddress(read.url)) {
            DebugLog(L"Manifest refused: package name \"%s\" or address \"%s\" is not usable", read.name.c_str(),
                     read.url.c_str());
            return false;
        }
        if (checkCopy != nullptr)
            *checkCopy = PrintCheckCopy(&doc, root);
        *manifest = read;
        return true;
    } catch (const rapidxml::parse_error& error) {
        DebugLog(L"Manifest refused: %hs", error.what());
        return false;
    } catch (...) {
        // Memory exhaustion while parsing or printing.
        DebugLog(L"Manifest refused: out of memory");
        return false;
    }
}

std::wstring ManifestCheckCopyPath(const std::wstring& path)
{
    return path + L"_";
}

void DeleteManifestFiles(const std::wstring& path)
{
    const std::wstring copy = ManifestCheckCopyPath(path);
    DeleteFileW(path.c_str());
    DeleteFileW(copy.c_str());
    DeleteFileW((copy + L".tmp").c_str());
}

bool ReadUpdateManifest(const std::wstring& path, UpdateManifest* manifest)
{
    // An old copy must never stand in for this manifest's.
    const std::wstring copyPath = ManifestCheckCopyPath(path);
    DeleteFileW(copyPath.c_str());

    std::string bytes;
    std::string copy;
    if (!ReadWholeFile(path, &bytes) || !ParseUpdateManifest(std::move(bytes), manifest, &copy))
        return false;
    WriteFileReplacing(copyPath, copy);  // a failed write leaves no copy: the check fails
    return true;
}

bool CheckUpdateManifest(const std::wstring& path, const UpdateManifest& manifest)
{
    std::string digest = CMD5Checksum::HexOfFile(ManifestCheckCopyPath(path));
    const bool opened = !digest.empty();
    if (!opened)
        digest.assign(32, '0');
    const std::wstring digestText = Utf8ToWide(digest);
    ReportSetText(kItemManifestDigest, digestText.c_str(), kReportKind);
    return opened && HexDigest(manifest.listMd5) && _wcsicmp(digestText.c_str(), manifest.listMd5.c_str()) == 0;
}
