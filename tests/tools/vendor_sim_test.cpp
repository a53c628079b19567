// The vendor simulator program, started as a child process the way the demo starts it.
#include "child_process.h"
#include "core/ini_file.h"
#include "core/server_requests.h"
#include "download/http_client.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class VendorSimTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(k4m::test::runChild({K4M_VENDOR_SIM, "--make-demo", (dir / "content").string()}), 0);
        k4m::test::writeFile(dir / "content" / "big.bin", std::string(100'000, 'x'));
        sim = std::make_unique<k4m::test::Child>(
            std::vector<std::string>{K4M_VENDOR_SIM, "--content", (dir / "content").string(), "--cert-dir",
                                     (dir / "cert").string(), "--server-ini", (dir / "server.ini").string(), "--fault",
                                     "/broken=status:503", "--fault", "/big.bin=cut:1000"});
        ASSERT_TRUE(k4m::test::waitUntil([&] { return fs::exists(dir / "server.ini"); }));
        k4m::IniFile ini(dir / "server.ini");
        ini.load();
        base = ini.readString("Server", "Base", "");
        settings.caFile = ini.readString("Server", "CAFile", "");
    }

    // The body of a GET, or the error message.
    std::string get(const std::string& path) {
        k4m::HttpClient client(settings);
        std::string body;
        k4m::HttpTransfer transfer;
        transfer.onData = [&](std::string_view data) {
            body.append(data);
            return true;
        };
        try {
            client.get(base + path, transfer);
        } catch (const k4m::HttpError& e) {
            return std::string("failed: ") + e.what();
        }
        return body;
    }

    k4m::test::TempDir dir;
    std::unique_ptr<k4m::test::Child> sim;
    std::string base;
    k4m::HttpSettings settings;
};

TEST_F(VendorSimTest, ServesTheDemoWithItsOwnCertificateAndWritesServerIni) {
    EXPECT_EQ(base.rfind("https://127.0.0.1:", 0), 0u) << base;
    EXPECT_TRUE(fs::path(settings.caFile).is_absolute());
    EXPECT_EQ(get(k4m::server::kVersionPath), "1.2.6\r\n");
    EXPECT_EQ(get(k4m::server::kStatusPath), "OK\r\n");
    EXPECT_EQ(get(k4m::server::kLicensePath).rfind("{\\rtf1", 0), 0u);
    EXPECT_EQ(get("/"), "Kandoro vendor simulator");
    EXPECT_EQ(get(std::string("/kd4_main.php?COM=1&EID=") + k4m::server::customerEid("ANY-KEY")),
              "OK[N=Demo Customer][E=demo.customer@example.com]\r\n");
    EXPECT_EQ(get("/kd4_main.php?COM=99&EID=x"), "ERROR: unknown request");
}

TEST_F(VendorSimTest, FaultKnobsAndPathsOutsideTheContent) {
    EXPECT_EQ(get("/broken"), "failed: HTTP/1.1 503 Service Unavailable");
    EXPECT_EQ(get("/big.bin").rfind("failed: ", 0), 0u);
    EXPECT_EQ(get("/missing.txt"), "failed: HTTP/1.1 404 Not Found");
    EXPECT_EQ(get("/%2E%2E/server.ini"), "failed: HTTP/1.1 404 Not Found");
}

} // namespace
