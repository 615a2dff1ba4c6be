#pragma once
// Initialisation parameter of a report: where its packages go, the product
// version written into each package header and the channel text.
#include <string>

class ParamBase {
public:
    ParamBase() = default;
    explicit ParamBase(const std::wstring& url) : uploadUrl(url) {}
    virtual ~ParamBase() = default;
    std::wstring uploadUrl;
};

class CBRKParam : public ParamBase {
public:
    CBRKParam() = default;
    // Empty texts are replaced by the installed product's fallbacks.
    CBRKParam(const std::wstring& url, const std::wstring& version, const std::wstring& channel);
    std::wstring productVersion;
    std::wstring channel;
};
