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
    // The start-up resolves empty texts to the installed product's values
    // before it builds the parameter; an empty channel stays "Unknown-Channel".
    CBRKParam(const std::wstring& url, const std::wstring& version, const std::wstring& channel);
    std::wstring productVersion;
    std::wstring channel;
};
