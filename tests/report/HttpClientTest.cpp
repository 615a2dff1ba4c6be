// The WinHTTP client: address checks, errors and the multipart upload.
#include <gtest/gtest.h>

#include "ReportTestSupport.h"
#include "report/http/HttpClient.h"

namespace {

using Vardo::CHttpClient;
using Vardo::httpclientexceptionW;

int CodeOf(const std::function<void()>& action, std::wstring* message = nullptr)
{
    try {
        action();
    } catch (const httpclientexceptionW& error) {
        if (message) *message = error.errmsg();
        return error.ErrorCode();
    }
    return -1;
}

void UploadAll(CHttpClient& client, const std::wstring& url)
{
    client.BeginUpload(url, 10000);
    while (!client.Proceed(1024)) {
    }
}

// Records where a request would go, then lets the real calls run.
struct RecordingTool : Vardo::CHttpToolW {
    static INTERNET_PORT port;
    static DWORD requestFlags;
    static std::wstring host;
    static HINTERNET OpenConnection(HINTERNET session, const wchar_t* hostName, INTERNET_PORT connectPort)
    {
        port = connectPort;
        host = hostName ? hostName : L"";
        return CHttpToolW::OpenConnection(session, hostName, connectPort);
    }
    static HINTERNET OpenRequest(HINTERNET connection, const wchar_t* verb, const wchar_t* objectName, DWORD flags,
                                 UINT codePage)
    {
        requestFlags = flags;
        return CHttpToolW::OpenRequest(connection, verb, objectName, flags, codePage);
    }
};
INTERNET_PORT RecordingTool::port = 0;
DWORD RecordingTool::requestFlags = 0;
std::wstring RecordingTool::host;

TEST(HttpClientAddress, PortsSchemesAndHosts)
{
    struct {
        const wchar_t* url;
        int code;  // -1: the address is accepted
    } cases[] = {
        {L"http://127.0.0.1:99999/x", 107}, {L"http://127.0.0.1:0/x", 107},     {L"http://127.0.0.1:/x", 107},
        {L"http://127.0.0.1:80a/x", 107},   {L"http://127.0.0.1:123456/", 107}, {L"http:///x", 103},
        {L"http://:8080/x", 103},           {L"127.0.0.1/x", 103},              {L"ftp://127.0.0.1/x", 103},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.code, CodeOf([&] { Vardo::CHttpUrlAnalyzerT::Analyze(c.url); })) << Narrow(c.url);
        CHttpClient client;
        EXPECT_EQ(c.code, CodeOf([&] { client.RequestPost(c.url, "x", 1, 1000); })) << Narrow(c.url);
    }
    Vardo::HttpAddress plain = Vardo::CHttpUrlAnalyzerT::Analyze(L"http://host:8080");
    EXPECT_EQ(8080, plain.port);
    EXPECT_EQ(L"/", plain.objectName);
    Vardo::HttpAddress query = Vardo::CHttpUrlAnalyzerT::Analyze(L"HTTPS://host?a=1#frag");
    EXPECT_EQ(443, query.port);
    EXPECT_TRUE(query.secure);
    EXPECT_EQ(L"/?a=1", query.objectName);
}

TEST(HttpClientAddress, HttpsConnectsTo443WithTheSecureFlag)
{
    Vardo::CHttpClientT<RecordingTool, Vardo::CHttpEncoderW> secure;
    CodeOf([&] { secure.RequestPost(L"https://127.0.0.1/cgi-bin-py/x.cgi", "x", 1, 2000); });
    EXPECT_EQ(443, RecordingTool::port);
    EXPECT_EQ(L"127.0.0.1", RecordingTool::host);
    EXPECT_EQ(DWORD(WINHTTP_FLAG_SECURE), RecordingTool::requestFlags & WINHTTP_FLAG_SECURE);

    Vardo::CHttpClientT<RecordingTool, Vardo::CHttpEncoderW> plain;
    CodeOf([&] { plain.RequestPost(L"http://127.0.0.1:8080/x", "x", 1, 2000); });
    EXPECT_EQ(8080, RecordingTool::port);
    EXPECT_EQ(0u, RecordingTool::requestFlags & WINHTTP_FLAG_SECURE);
}

TEST(HttpClientErrors, MessagesByCode)
{
    EXPECT_EQ(L"The port number is not valid.", Vardo::HttpErrorMessage(107));
    EXPECT_EQ(L"The requested URL is not a valid URL.", Vardo::HttpErrorMessage(103));
    EXPECT_EQ(L"::HttpSendRequestEx failed.", Vardo::HttpErrorMessage(407));
    EXPECT_EQ(L"An interger divide by zero exception has been occurred.", Vardo::HttpErrorMessage(113));
    EXPECT_EQ(L"OpenFile (::CreateFile) failed (\"C:\\x.dat\").", Vardo::HttpErrorMessage(603, L"C:\\x.dat"));
    EXPECT_EQ(L"::GetFileSize failed (\"NULL\").", Vardo::HttpErrorMessage(605));
    EXPECT_EQ(L"user-defined error message", Vardo::HttpErrorMessage(1000));
    EXPECT_EQ(511u, Vardo::HttpErrorMessage(603, std::wstring(600, L'p').c_str()).size());
}

TEST(HttpClientErrors, PostContextChecks)
{
    CHttpClient client;
    EXPECT_EQ(104, CodeOf([&] { client.Proceed(1024); }));
    std::wstring message;
    EXPECT_EQ(0, CodeOf([&] { client.PostStat().TotalCount(); }, &message));
    EXPECT_EQ(L"CHttpPostStatT::TotalCount: The post context is not active.", message);
}

TEST(HttpClientBoundary, GuidShaped)
{
    CHttpClient first, second;
    EXPECT_EQ(38u, first.Boundary().size());
    EXPECT_EQ(0u, first.Boundary().find(L"------"));
    EXPECT_EQ(std::wstring::npos, first.Boundary().find_first_not_of(L"-0123456789abcdef"));
    EXPECT_NE(first.Boundary(), second.Boundary());
}

class HttpClientServer : public ::testing::Test {
protected:
    StatsServer server;
    TempReportPlace place;  // a private folder for the files we post

    void SetUp() override
    {
        ASSERT_TRUE(server.Available()) << "MINISETUP_STATS_SERVER is not set";
        server.Reset();
    }
};

TEST_F(HttpClientServer, MissingFileRaises603WithItsPathAndSendsNothing)
{
    std::wstring path = place.Folder() + L"\\rpFile-none.dat";
    CHttpClient client;
    client.AddParam(L"ufile01", path.c_str(), Vardo::kParamFile);
    std::wstring message;
    EXPECT_EQ(603, CodeOf([&] { client.BeginUpload(server.Address(), 5000); }, &message));
    EXPECT_NE(std::wstring::npos, message.find(path)) << Narrow(message);
    EXPECT_TRUE(server.Received().empty());
}

TEST_F(HttpClientServer, UploadOfAnEmptyFileStillSendsItsPart)
{
    std::wstring path = place.Folder() + L"\\rpFile-empty.dat";
    WriteBytes(path, {});
    CHttpClient client;
    client.AddParam(L"ufile01", path.c_str(), Vardo::kParamFile);
    UploadAll(client, server.Address());
    std::vector<ReceivedUpload> received = server.Received();
    ASSERT_EQ(1u, received.size());
    EXPECT_TRUE(received[0].ok) << received[0].error;
    EXPECT_EQ("rpFile-empty.dat", received[0].filename);
    EXPECT_EQ(0u, received[0].size);
}

TEST_F(HttpClientServer, UploadStreamsInSteps)
{
    std::wstring path = place.Folder() + L"\\rpFile-steps.dat";
    std::vector<uint8_t> bytes(150000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 31);
    WriteBytes(path, bytes);
    CHttpClient client;
    client.AddParam(L"ufile01", path.c_str(), Vardo::kParamFile);
    client.BeginUpload(server.Address(), 5000);
    EXPECT_EQ(1u, client.PostStat().FileCount());
    int steps = 0;
    std::unique_ptr<CHttpClient::Response> response;
    while (!(response = client.Proceed(60000))) ++steps;
    EXPECT_EQ(5, steps);  // head, three pieces of content, closing line
    EXPECT_EQ(200u, response->GetStatus());
    EXPECT_EQ(200u, response->GetStatus());
    EXPECT_EQ(bytes, server.ReceivedBytes(0));
    EXPECT_EQ(1u, server.Received().size());
}

TEST_F(HttpClientServer, RequestPostAndStatus)
{
    CHttpClient client;
    const char body[] = "a=1&b=2";
    server.SetAnswer(L"500");
    auto response = client.RequestPost(server.Address(L"/raw"), body, DWORD(strlen(body)), 5000);
    EXPECT_EQ(500u, response->GetStatus());
    std::vector<ReceivedUpload> received = server.Received();
    ASSERT_EQ(1u, received.size());
    EXPECT_EQ("raw", received[0].kind);
    std::vector<uint8_t> sent = server.ReceivedBytes(0);
    EXPECT_EQ(std::string(body), std::string(sent.begin(), sent.end()));
}

TEST_F(HttpClientServer, CertificateErrorIsFinalAndNeverRetriedWithoutChecks)
{
    const TlsCounts before = server.Tls();
    ASSERT_NE(0u, before.port);
    const std::wstring url = L"https://127.0.0.1:" + std::to_wstring(before.port) + L"/cgi-bin-py/x.cgi";
    CHttpClient post;
    EXPECT_EQ(406, CodeOf([&] { post.RequestPost(url, "x", 1, 5000); }));
    const std::wstring path = place.Folder() + L"\\rpFile-tls.dat";
    WriteBytes(path, {1, 2, 3});
    CHttpClient upload;
    upload.AddParam(L"ufile01", path.c_str(), Vardo::kParamFile);
    EXPECT_EQ(407, CodeOf([&] { UploadAll(upload, url); }));

    const TlsCounts after = server.Tls();
    // One connection per request: the client reached the listener, judged
    // the certificate and gave up. A retry with the checks switched off
    // would show as a second connection and a request read.
    EXPECT_EQ(2, after.connections - before.connections);
    EXPECT_EQ(0, after.requests - before.requests) << "a request went out over an unchecked connection";
}

TEST_F(HttpClientServer, DroppedConnectionHasNoStatus)
{
    server.SetAnswer(L"close");
    CHttpClient client;
    EXPECT_EQ(400, CodeOf([&] { client.RequestPost(server.Address(), "x", 1, 5000)->GetStatus(); }));
}

}  // namespace

namespace {
TEST(HttpClientErrors, RefusedConnectionRaises)
{
    StatsServer server;
    CHttpClient client;
    int status = -1;
    int code = CodeOf([&] { status = int(client.RequestPost(L"http://127.0.0.1:1/x", "x", 1, 2000)->GetStatus()); });
    EXPECT_EQ(406, code) << "status " << status;
    CHttpClient upload;
    int uploadCode = CodeOf([&] { UploadAll(upload, L"http://127.0.0.1:1/x"); });
    EXPECT_EQ(407, uploadCode);
}
}  // namespace
