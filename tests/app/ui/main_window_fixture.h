#pragma once

// A main window started in-process against the local HTTPS server, with its own home and manager folders.
#include "app/ui/tformd.h"
#include "child_process.h"
#include "core/server_requests.h"
#include "https_server.h"
#include "modal_answer.h"
#include "platform/posix/posix_platform.h"
#include "temp_dir.h"
#include "vendor_content.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <fstream>
#include <optional>
#include <gtest/gtest.h>

namespace k4m::test {

// The real platform, but the program file lies where the test says and the network test answers as the
// test says; link openings are recorded instead of starting a browser.
// Programs it starts and attribute commands it runs are recorded, then carried out as usual. The questions a
// Linux system cannot answer (bitness aside, the runtime's registry keys) are answered as the test sets them.
class TestPlatform : public posix::PosixPlatform {
public:
    struct Launch {
        std::string target;
        std::optional<std::string> parameters;
        int flags = 0;
    };
    std::string ownPath;
    bool connected = true;
    std::vector<std::string> opened;
    std::vector<Launch> launched;
    std::vector<std::pair<std::string, std::string>> attributeCommands; // parameters, working folder
    std::optional<bool> x64, vcUninstallKey, vcRuntimeKey;

    std::string ownExecutablePath() const override { return ownPath; }
    bool hasNetworkConnection() const override { return connected; }
    void shellOpen(const std::string& target) override { opened.push_back(target); }
    int launch(const std::string& target, const std::optional<std::string>& parameters, int flags) override {
        launched.push_back({target, parameters, flags});
        return PosixPlatform::launch(target, parameters, flags);
    }
    void runSystemAttributeCommand(const std::string& parameters, const std::string& folder) override {
        attributeCommands.emplace_back(parameters, folder);
        PosixPlatform::runSystemAttributeCommand(parameters, folder);
    }
    bool is64BitSystem() const override { return x64.value_or(PosixPlatform::is64BitSystem()); }
    bool vcRuntimeUninstallKeyExists(const std::string& code) const override {
        return vcUninstallKey.value_or(PosixPlatform::vcRuntimeUninstallKeyExists(code));
    }
    bool vcRuntimeKeyExists(bool forX64) const override {
        return vcRuntimeKey.value_or(PosixPlatform::vcRuntimeKeyExists(forX64));
    }
};

class MainWindowTest : public testing::Test {
protected:
    void SetUp() override {
        managerFolder = root.path() / "Manager";
        useProgramPath(managerFolder / "Kandoro4Manager.exe");
        writeFile(managerFolder / "server.ini", "[Server]\r\nBase=" + server.base() + "\r\nCAFile=" + server.caFile() +
                                                    "\r\nProbe=" + server.base() +
                                                    "/probe\r\nWebsite=https://site.example\r\n"
                                                    "StallTimeout=2\r\n");
        server.on("/probe", sim::answer::body("home"));
        serve(server::kVersionPath, "1.2.6");
        serve(server::kStatusPath, "OK");
        serve(server::kPromotionPath, "NONE");
        serve(server::kGlobalSettingsPath, "[General]\r\nHomeScreen=0\r\n");
        serve(server::kInstallInfoPath, "Welcome to Kandoro 4");
        serve(server::kMessagesPath, "Nothing new");
    }

    void useProgramPath(const std::filesystem::path& path) {
        writeFile(path, "#!/bin/sh\nexit 0\n");
        std::filesystem::permissions(path, std::filesystem::perms(0755));
        platform.ownPath = path.string();
    }

    void serve(const std::string& path, const std::string& text) { server.on(path, sim::answer::body(text)); }

    // A vendor that answers from the content folder `folder`: its three mirrors on the same server and
    // reachable, and a login that accepts every key as Ann Drummer.
    void useVendorFolder(const std::filesystem::path& folder) {
        server.fallback(sim::contentFolder(folder.string(), server.base()));
        std::ofstream(managerFolder / "server.ini", std::ios::app)
            << "MirrorDropbox=" << server.base() << "/mirrors/dropbox/server_status.txt\r\n"
            << "MirrorGoogleDrive=" << server.base() << "/mirrors/googledrive/server_status.txt\r\n"
            << "MirrorMediaFire=" << server.base() << "/mirrors/mediafire/server_status.txt\r\n";
        for (const char* mirror : {"dropbox", "googledrive", "mediafire"})
            writeFile(folder / "mirrors" / mirror / "server_status.txt", "OK\r\n");
        writeFile(folder / "kd4_main/COM1/default", "OK[N=Ann Drummer][E=ann@example.com]");
    }

    std::filesystem::path product() const { return home.dataHome() / "Kandoro4"; }
    std::filesystem::path installer() const { return product() / "Installer"; }

    // A product folder as an earlier installation leaves it.
    void installationPresent() { writeFile(product() / "kandoro4.ini", "[General]\r\nGUIScale=7\r\n"); }

    // Creates the window (the creation handler runs), shows it and waits until the first-show handler is done
    // or the program ended. Prompts are answered by the watchers the test armed before.
    TformD& start(std::vector<std::string> arguments = {}) {
        window = std::make_unique<TformD>(platform, std::move(arguments));
        if (window->startupAborted()) return *window;
        window->show();
        EXPECT_TRUE(QTest::qWaitFor([&] { return window->Timer1->isActive() || window->programEnded(); }, 20000));
        return *window;
    }

    // Answers the first-start notice so that a start runs through.
    std::shared_ptr<ModalSeen> acceptNotice() { return clickOnNextModal("OK"); }

    bool logHas(const std::string& line) const {
        const auto lines = window->log.lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    bool requested(const std::string& path) const {
        const auto all = server.requests();
        return std::find(all.begin(), all.end(), path) != all.end();
    }

    IsolatedHome home;
    TempDir root;
    sim::HttpsServer server;
    TestPlatform platform;
    std::filesystem::path managerFolder;
    std::unique_ptr<TformD> window;
};

} // namespace k4m::test
