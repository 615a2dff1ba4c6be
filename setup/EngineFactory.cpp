#include "setup/EngineFactory.h"

namespace {

class CGnetEngineFactory : public IDownloadEngineFactory {
public:
    void Init(const wchar_t* productName, const wchar_t* version, const wchar_t* channel) override
    {
        gnet::InitDownloadEngine(productName, version, channel);
    }
    gnet::IDownloadFile* Create(gnet::IDownloadFileCallback* callback) override
    {
        return gnet::CreateDownloadFile(callback);
    }
    void Release(gnet::IDownloadFile* engine) override { gnet::ReleaseDownloadFile(engine); }
};

}  // namespace

IDownloadEngineFactory& GnetEngineFactory()
{
    static CGnetEngineFactory factory;
    return factory;
}
