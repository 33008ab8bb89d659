// The demo download service as the installer meets it: a real process on 127.0.0.1, asked
// with real HTTP requests.
#include <httplib.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "platform/SystemProbes.h"
#include "support/TempFolder.h"
#include "support/ToolRun.h"

namespace {

namespace fs = std::filesystem;
using testsupport::RunningTool;
using testsupport::RunTool;
using testsupport::TempFolder;

std::string Md5(const std::string& bytes) {
    platform::Md5 md5;
    md5.Update(bytes.data(), bytes.size());
    return md5.FinishHex();
}

std::string Content(size_t size, char seed) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(seed + i * 7 % 251);
    return bytes;
}

class DemoServiceTest : public ::testing::Test {
protected:
    DemoServiceTest() {
        temp_.Write("old package.exe", oldBytes_);
        temp_.Write("Mavrix_Setup_2.0.0.exe", newBytes_);
        fs::last_write_time(temp_ / "old package.exe", fs::file_time_type::clock::now() - std::chrono::hours(1));
    }

    // Starts the service and reads the port from its first line.
    void Start(std::vector<std::string> extra = {}) {
        std::vector<std::string> arguments = {MAVRIX_DEMO_SERVICE, "--root", temp_.path().string(), "--port", "0"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        service_ = std::make_unique<RunningTool>(arguments);
        const auto first = service_->ReadLine();
        ASSERT_TRUE(first);
        const std::string prefix = "Serving http://127.0.0.1:";
        ASSERT_TRUE(first->starts_with(prefix)) << *first;
        ASSERT_TRUE(first->ends_with("/software/243")) << *first;
        port_ = std::stoi(first->substr(prefix.size()));
        client_ = std::make_unique<httplib::Client>("127.0.0.1", port_);
    }

    std::string PackagePath(const std::string& bytes, const std::string& encodedName) const {
        return "/" + Md5(bytes) + "/" + encodedName;
    }

    TempFolder temp_;
    const std::string oldBytes_ = Content(70000, 'a');
    const std::string newBytes_ = Content(300001, 'b');
    std::unique_ptr<RunningTool> service_;
    std::unique_ptr<httplib::Client> client_;
    int port_ = 0;
};

TEST_F(DemoServiceTest, ProductAddressRedirectsToTheNewestPackageByItsMd5) {
    Start();

    const auto answer = client_->Get("/software/243");

    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 302);
    EXPECT_EQ(answer->get_header_value("Location"),
              "http://127.0.0.1:" + std::to_string(port_) + PackagePath(newBytes_, "Mavrix_Setup_2.0.0.exe"));
}

TEST_F(DemoServiceTest, ChosenPackageAndEncodedNames) {
    Start({"--package", "old package.exe"});

    const auto answer = client_->Get("/software/243");
    ASSERT_TRUE(answer);
    const std::string path = PackagePath(oldBytes_, "old%20package.exe");
    // The client hands out "Location" decoded; the request below sends the encoded form.
    EXPECT_EQ(answer->get_header_value("Location"),
              "http://127.0.0.1:" + std::to_string(port_) + PackagePath(oldBytes_, "old package.exe"));

    const auto body = client_->Get(path);
    ASSERT_TRUE(body);
    EXPECT_EQ(body->status, 200);
    EXPECT_EQ(body->body, oldBytes_);
}

TEST_F(DemoServiceTest, HeadAndFullGetGiveTheLengthAndTheBytes) {
    Start();
    const std::string path = PackagePath(newBytes_, "Mavrix_Setup_2.0.0.exe");

    const auto head = client_->Head(path);
    const auto full = client_->Get(path);

    ASSERT_TRUE(head);
    EXPECT_EQ(head->status, 200);
    EXPECT_EQ(head->get_header_value("Content-Length"), std::to_string(newBytes_.size()));
    EXPECT_EQ(head->get_header_value("Accept-Ranges"), "bytes");
    EXPECT_TRUE(head->body.empty());
    ASSERT_TRUE(full);
    EXPECT_EQ(full->status, 200);
    EXPECT_EQ(full->body, newBytes_);
}

TEST_F(DemoServiceTest, RangedGetsAnswerWithTheRightPart) {
    Start();
    const std::string path = PackagePath(newBytes_, "Mavrix_Setup_2.0.0.exe");
    const size_t size = newBytes_.size();
    const std::string total = "/" + std::to_string(size);
    struct Case { std::string range; int status; std::string contentRange; size_t first; size_t length; };
    const Case cases[] = {
        {"bytes=1000-", 206, "bytes 1000-300000" + total, 1000, size - 1000},
        {"bytes=0-149999", 206, "bytes 0-149999" + total, 0, 150000},
        {"bytes=150000-300000", 206, "bytes 150000-300000" + total, 150000, 150001},
        {"bytes=300000-", 206, "bytes 300000-300000" + total, 300000, 1},
        {"bytes=10-99999999", 206, "bytes 10-300000" + total, 10, size - 10},
        {"bytes=-5", 206, "bytes 299996-300000" + total, 299996, 5},
        {"bytes=300001-", 416, "bytes */" + std::to_string(size), 0, 0},
        {"bytes=99999999-", 416, "bytes */" + std::to_string(size), 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.range);

        const auto answer = client_->Get(path, {{"Range", c.range}});

        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->status, c.status);
        EXPECT_EQ(answer->get_header_value("Content-Range"), c.contentRange);
        EXPECT_EQ(answer->body, newBytes_.substr(c.first, c.length));
    }
}

TEST_F(DemoServiceTest, UnknownAddressesAreNotFound) {
    Start();
    for (const std::string& path : {"/" + std::string(32, '0') + "/Mavrix_Setup_2.0.0.exe",
                                   PackagePath(oldBytes_, "Mavrix_Setup_2.0.0.exe"), std::string("/software/244"),
                                   std::string("/../old package.exe")}) {
        SCOPED_TRACE(path);
        const auto answer = client_->Get(path);
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->status, 404);
    }
}

TEST_F(DemoServiceTest, PrintsEachRequestAndStopsCleanlyOnInterrupt) {
    for (int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        Start();
        ASSERT_TRUE(client_->Get("/software/243"));
        ASSERT_TRUE(client_->Get(PackagePath(newBytes_, "Mavrix_Setup_2.0.0.exe"), {{"Range", "bytes=5-"}}));

        service_->Signal(signal);

        const std::string rest = service_->ReadRest();
        EXPECT_EQ(service_->Wait(), 0);
        EXPECT_NE(rest.find("GET /software/243 -> 302\n"), std::string::npos) << rest;
        EXPECT_NE(rest.find("GET " + PackagePath(newBytes_, "Mavrix_Setup_2.0.0.exe") + " bytes=5- -> 206\n"),
                  std::string::npos)
            << rest;
        EXPECT_NE(rest.find(signal == SIGINT ? "Stopping (SIGINT)" : "Stopping (SIGTERM)"), std::string::npos) << rest;
    }
}

TEST_F(DemoServiceTest, RefusesWhatItCannotServe) {
    struct Case { std::vector<std::string> arguments; int exitCode; };
    const std::string root = temp_.path().string();
    const fs::path empty = temp_ / "empty";
    fs::create_directories(empty);
    const Case cases[] = {
        {{"--root", root, "--host", "0.0.0.0"}, 1},
        {{"--root", empty.string()}, 1},
        {{"--root", root, "--package", "missing.exe"}, 1},
        {{"--root"}, 2},
        {{"--root", root, "--port", "http"}, 2},
    };
    for (const auto& c : cases) {
        std::vector<std::string> arguments = {MAVRIX_DEMO_SERVICE};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        SCOPED_TRACE(arguments.back());
        EXPECT_EQ(RunTool(arguments).exitCode, c.exitCode);
    }
}

}  // namespace
