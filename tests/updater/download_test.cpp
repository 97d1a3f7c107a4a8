#include <gtest/gtest.h>
#include <windows.h>

#include <regex>
#include <string>
#include <vector>

#include "tests/support/http_test_server.h"
#include "tests/support/temp_folder.h"
#include "tests/support/diary_lines.h"
#include "updater/updater.h"

namespace {

class DownloadFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server_.Start());
        updater_.onStatus = [this](const std::wstring& text) { statuses_.push_back(text); };
    }

    std::wstring Url(const std::string& path) const {
        return server_.BaseUrl() + std::wstring(path.begin(), path.end());
    }

    static std::string Body(size_t size) {
        std::string body(size, '\0');
        for (size_t i = 0; i < size; ++i) {
            body[i] = static_cast<char>((i * 131 + i / 251) & 0xFF);
        }
        return body;
    }

    TempFolder folder_;
    ScopedCurrentDirectory cwd_{folder_.path()};
    TestHttpServer server_;
    Updater updater_;
    std::vector<std::wstring> statuses_;
};

}  // namespace

TEST_F(DownloadFileTest, StoresABodyReceivedInPiecesAndReportsProgress) {
    ScriptedResponse response = ScriptedResponse::Ok(Body(300000));
    response.pieceSize = 50000;
    response.pauseBetweenPiecesMs = 20;
    server_.SetResponse("/ClientUpdates/full_2.zip", response);
    ASSERT_TRUE(WriteBytes(L"full.zip", "old archive"));

    ASSERT_TRUE(updater_.DownloadFile(Url("/ClientUpdates/full_2.zip"), L"full.zip"));

    EXPECT_EQ(ReadBytes(L"full.zip"), response.body);
    EXPECT_FALSE(FileExists(L"full.zip.download"));
    const auto requests = server_.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].headers.at("user-agent"), "VantoraUpdater/1.0");

    // One text per read, percentages rising to 100.
    ASSERT_GE(statuses_.size(), 2u);
    const std::wregex pattern(LR"(Downloading\.\.\. (\d+)% \((\d+\.\d) KB/s\))");
    int last = -1;
    for (const std::wstring& text : statuses_) {
        std::wsmatch match;
        ASSERT_TRUE(std::regex_match(text, match, pattern))
            << std::string(text.begin(), text.end());
        const int percent = std::stoi(match[1].str());
        EXPECT_GE(percent, last);
        last = percent;
    }
    EXPECT_EQ(last, 100);
    // A transfer that ends within the clock's resolution counts one second.
    EXPECT_EQ(DownloadProgressText(300000, 300000, 0.0), L"Downloading... 100% (293.0 KB/s)");
    EXPECT_EQ(DownloadProgressText(300000, 300000, -0.5), L"Downloading... 100% (293.0 KB/s)");
    EXPECT_EQ(DownloadProgressText(51200, 300000, 0.5), L"Downloading... 17% (100.0 KB/s)");

    const auto log = DiaryLines();
    ASSERT_EQ(log.size(), 2u);
    const std::wstring base = server_.BaseUrl();
    EXPECT_EQ(log[0], "Download start: " + std::string(base.begin(), base.end()) +
                          "/ClientUpdates/full_2.zip -> full.zip");
    EXPECT_EQ(log[1], "Download finished. Bytes=300000");
}

TEST_F(DownloadFileTest, WithoutContentLengthThereIsNoProgressAndNoSizeCheck) {
    ScriptedResponse response = ScriptedResponse::Ok(Body(70000));
    response.length = ScriptedResponse::Length::kOmit;
    response.pieceSize = 10000;
    server_.SetResponse("/manifest.json", response);
    ASSERT_TRUE(updater_.DownloadFile(Url("/manifest.json"), L"manifest.json"));
    EXPECT_EQ(ReadBytes(L"manifest.json"), response.body);
    EXPECT_TRUE(statuses_.empty());
}

TEST_F(DownloadFileTest, EmptyBodyWithZeroLengthGivesAnEmptyFile) {
    server_.SetResponse("/empty", ScriptedResponse::Ok(""));
    ASSERT_TRUE(WriteBytes(L"target.bin", "previous"));
    ASSERT_TRUE(updater_.DownloadFile(Url("/empty"), L"target.bin"));
    EXPECT_TRUE(FileExists(L"target.bin"));
    EXPECT_EQ(ReadBytes(L"target.bin"), "");
    EXPECT_TRUE(statuses_.empty());
}

TEST_F(DownloadFileTest, HttpErrorLeavesTheOldTargetAndNoTemporaryFile) {
    ASSERT_TRUE(WriteBytes(L"manifest.json", "{\"latest\": \"old\"}"));
    ASSERT_FALSE(updater_.DownloadFile(Url("/ClientUpdates/manifest.json"), L"manifest.json"));
    EXPECT_EQ(ReadBytes(L"manifest.json"), "{\"latest\": \"old\"}");
    EXPECT_FALSE(FileExists(L"manifest.json.download"));
    const auto log = DiaryLines();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1], "Download returned HTTP status 404");

    server_.SetResponse("/busy", ScriptedResponse::Status(503, "Service Unavailable"));
    EXPECT_FALSE(updater_.DownloadFile(Url("/busy"), L"manifest.json"));
    EXPECT_EQ(DiaryLines().back(), "Download returned HTTP status 503");
}

TEST_F(DownloadFileTest, BodyShorterThanTheAnnouncedLengthIsAFailure) {
    ScriptedResponse response = ScriptedResponse::Ok(Body(100000));
    response.closeAfterBytes = 60000;
    server_.SetResponse("/patch.zip", response);
    ASSERT_TRUE(WriteBytes(L"patch.zip", "complete older patch"));

    ASSERT_FALSE(updater_.DownloadFile(Url("/patch.zip"), L"patch.zip"));

    EXPECT_EQ(ReadBytes(L"patch.zip"), "complete older patch");
    EXPECT_FALSE(FileExists(L"patch.zip.download"));
    const auto log = DiaryLines();
    ASSERT_GE(log.size(), 2u);
    // WinHTTP either reports the cut connection (failure exit) or ends the
    // body early (size check); both end with the temporary file removed.
    const std::regex finished(R"(Download finished\. Bytes=(\d+))");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(log[1], match, finished)) << log[1];
    EXPECT_LE(std::stoull(match[1].str()), 60000u);
    if (log.size() == 3) {
        EXPECT_EQ(log[2], "Download size mismatch. Expected=100000 Received=" + match[1].str());
    }

    // A whole body under a Content-Length that promises more.
    response = ScriptedResponse::Ok(Body(5000));
    response.length = ScriptedResponse::Length::kCustom;
    response.customLength = 9000;
    server_.SetResponse("/wrong-length", response);
    EXPECT_FALSE(updater_.DownloadFile(Url("/wrong-length"), L"out.bin"));
    EXPECT_FALSE(FileExists(L"out.bin"));
    EXPECT_FALSE(FileExists(L"out.bin.download"));
}

TEST_F(DownloadFileTest, ABodyOfAnotherSha256IsRemovedAndLogged) {
    // The SHA-256 of "abc" (FIPS 180-2), in either case.
    const std::string abc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    std::string upper = abc;
    for (char& c : upper) {
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    }
    server_.SetResponse("/full.zip", ScriptedResponse::Ok("abc"));
    ASSERT_TRUE(updater_.DownloadFile(Url("/full.zip"), L"full.zip", upper));
    EXPECT_EQ(ReadBytes(L"full.zip"), "abc");

    server_.SetResponse("/full.zip", ScriptedResponse::Ok("abd"));
    EXPECT_FALSE(updater_.DownloadFile(Url("/full.zip"), L"full.zip", abc));
    EXPECT_EQ(ReadBytes(L"full.zip"), "abc");
    EXPECT_FALSE(FileExists(L"full.zip.download"));
    EXPECT_EQ(DiaryLines().back(),
              "Download hash mismatch. Expected=" + abc +
                  " Actual=a52d159f262b2c6ddb724a61840befc36eb30c88877a4030b65cbe86298449c9");
}

TEST_F(DownloadFileTest, TargetHeldOpenByAnotherProgramCannotBeReplaced) {
    server_.SetResponse("/full.zip", ScriptedResponse::Ok("new archive"));
    ASSERT_TRUE(WriteBytes(L"full.zip", "old archive"));
    HANDLE holder = CreateFileW(L"full.zip", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);

    EXPECT_FALSE(updater_.DownloadFile(Url("/full.zip"), L"full.zip"));
    CloseHandle(holder);

    EXPECT_EQ(ReadBytes(L"full.zip"), "old archive");
    EXPECT_FALSE(FileExists(L"full.zip.download"));
    const auto log = DiaryLines();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[1], "Download finished. Bytes=11");
    EXPECT_TRUE(log[2].rfind("Could not finalize download. Win32=", 0) == 0) << log[2];
    EXPECT_NE(log[2], "Could not finalize download. Win32=0");
}

TEST_F(DownloadFileTest, LeftoverTemporaryFileIsOverwritten) {
    ASSERT_TRUE(WriteBytes(L"full.zip.download", std::string(10000, 'x')));
    server_.SetResponse("/full.zip", ScriptedResponse::Ok("abc"));
    ASSERT_TRUE(updater_.DownloadFile(Url("/full.zip"), L"full.zip"));
    EXPECT_EQ(ReadBytes(L"full.zip"), "abc");
    EXPECT_FALSE(FileExists(L"full.zip.download"));
}

TEST_F(DownloadFileTest, TemporaryFileThatCannotBeCreatedIsLogged) {
    server_.SetResponse("/full.zip", ScriptedResponse::Ok("abc"));
    EXPECT_FALSE(updater_.DownloadFile(Url("/full.zip"), L"missing-folder\\full.zip"));
    const auto log = DiaryLines();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1], "Could not open download target. Win32=3");  // path not found
}

TEST_F(DownloadFileTest, UnreachableServerAndBadUrlsFailWithoutTouchingFiles) {
    const std::wstring closed = server_.BaseUrl() + L"/x";
    server_.Stop();  // nothing listens on the port any more
    EXPECT_FALSE(updater_.DownloadFile(closed, L"x.bin"));
    auto log = DiaryLines();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_TRUE(log[1].rfind("ReceiveResponse failed. Win32=", 0) == 0) << log[1];

    EXPECT_FALSE(updater_.DownloadFile(L"not a url", L"x.bin"));
    const std::wstring longHost = L"http://" + std::wstring(300, L'h') + L"/x";
    EXPECT_FALSE(updater_.DownloadFile(longHost, L"x.bin"));
    log = DiaryLines();
    ASSERT_EQ(log.size(), 4u);  // only the start lines of the two bad URLs
    EXPECT_EQ(log[2], "Download start: not a url -> x.bin");
    EXPECT_FALSE(FileExists(L"x.bin"));
    EXPECT_FALSE(FileExists(L"x.bin.download"));
}

TEST_F(DownloadFileTest, WorksWithoutAStatusCallback) {
    updater_.onStatus = nullptr;
    server_.SetResponse("/a", ScriptedResponse::Ok(Body(20000)));
    EXPECT_TRUE(updater_.DownloadFile(Url("/a"), L"a.bin"));
    EXPECT_EQ(ReadBytes(L"a.bin").size(), 20000u);
}
