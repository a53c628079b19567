// The built manager on a real X11 desktop (Xvfb with a window manager that follows the frame hints), driven
// from outside as a user would: its prompt has no buttons in its frame, sits centred on the main window, and
// Enter answers it; the window manager's close request ends a window that waits for the server.
#include "child_process.h"
#include "core/server_requests.h"
#include "core/version.h"
#include "https_server.h"
#include "temp_dir.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sstream>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using k4m::test::Child;
using k4m::test::waitUntil;
using k4m::test::writeFile;

namespace {

// Runs a short command to its end; its standard output.
std::string output(const std::vector<std::string>& argv, const std::string& display) {
    Child child(argv, {"DISPLAY=" + display});
    child.waitFor(10s);
    return child.output();
}

struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;
    int centreX() const { return x + width / 2; }
    int centreY() const { return y + height / 2; }
};

// From "xdotool getwindowgeometry --shell": X=, Y=, WIDTH=, HEIGHT= lines.
Geometry geometryOf(const std::string& window, const std::string& display) {
    Geometry g;
    std::istringstream lines(output({"xdotool", "getwindowgeometry", "--shell", window}, display));
    for (std::string line; std::getline(lines, line);) {
        const auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = line.substr(0, eq);
        const int value = std::atoi(line.c_str() + eq + 1);
        if (key == "X") g.x = value;
        if (key == "Y") g.y = value;
        if (key == "WIDTH") g.width = value;
        if (key == "HEIGHT") g.height = value;
    }
    return g;
}

class PromptOnDesktop : public testing::Test {
protected:
    void SetUp() override {
        xvfb = std::make_unique<Child>(
            std::vector<std::string>{"Xvfb", "-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"});
        ASSERT_TRUE(waitUntil([&] { return xvfb->output().find('\n') != std::string::npos; }, 20s));
        display = ":" + xvfb->output().substr(0, xvfb->output().find('\n'));
        // A window manager that has not taken the display after a while is started once more (seen once on a
        // busy machine).
        bool managed = false;
        for (int attempt = 0; attempt < 3 && !managed; ++attempt) {
            windowManager = std::make_unique<Child>(std::vector<std::string>{"fluxbox"},
                                                    std::vector<std::string>{"DISPLAY=" + display});
            managed = waitUntil(
                [&] {
                    return output({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}, display).find("window id") !=
                           std::string::npos;
                },
                10s);
        }
        ASSERT_TRUE(managed) << "no window manager on " << display;

        // A copy of the program beside its own server.ini, against a server that is down for maintenance.
        program = dir / "Kandoro4Manager.exe";
        fs::copy_file(K4M_MANAGER_EXE, program);
        server.on("/probe", k4m::sim::answer::body("home"));
        server.on(k4m::server::kVersionPath, k4m::sim::answer::body(k4m::kManagerVersion));
        server.on(k4m::server::kStatusPath, k4m::sim::answer::body("Server maintenance until 18:00"));
        writeFile(dir / "server.ini", "[Server]\r\nBase=" + server.base() + "\r\nCAFile=" + server.caFile() +
                                          "\r\nProbe=" + server.base() + "/probe\r\n");
    }

    std::string findWindow(const std::string& name) {
        std::string found;
        waitUntil(
            [&] {
                found = output({"xdotool", "search", "--onlyvisible", "--name", "^" + name + "$"}, display);
                return !found.empty();
            },
            20s);
        return found.substr(0, found.find('\n'));
    }

    k4m::test::IsolatedHome home;
    k4m::test::TempDir dir;
    k4m::sim::HttpsServer server;
    std::unique_ptr<Child> xvfb;
    std::unique_ptr<Child> windowManager;
    std::string display;
    fs::path program;
};

TEST_F(PromptOnDesktop, HasNoFrameButtonsIsCentredOnTheWindowAndEnterAnswersIt) {
    Child manager({program.string()}, {"DISPLAY=" + display, "QT_QPA_PLATFORM=xcb"});
    const std::string prompt = findWindow("Acknowledge");
    ASSERT_FALSE(prompt.empty()) << "no prompt appeared";
    const std::string mainWindow = findWindow("Kandoro Manager");
    ASSERT_FALSE(mainWindow.empty());

    // The window manager offers no way to minimise, maximise or close it from its frame.
    const std::string actions = output({"xprop", "-id", prompt, "_NET_WM_ALLOWED_ACTIONS"}, display);
    ASSERT_NE(actions.find("_NET_WM_ACTION_MOVE"), std::string::npos) << actions;
    for (const char* refused : {"_NET_WM_ACTION_MINIMIZE", "_NET_WM_ACTION_MAXIMIZE_HORZ",
                                "_NET_WM_ACTION_MAXIMIZE_VERT", "_NET_WM_ACTION_CLOSE"})
        EXPECT_EQ(actions.find(refused), std::string::npos) << refused << " in " << actions;

    const Geometry p = geometryOf(prompt, display);
    const Geometry w = geometryOf(mainWindow, display);
    EXPECT_EQ(p.width, 439);
    EXPECT_NEAR(p.centreX(), w.centreX(), 3);
    EXPECT_NEAR(p.centreY(), w.centreY(), 12); // the frames' title bars may differ by a few lines

    // Enter answers the prompt; the server's status ends the program.
    output({"xdotool", "windowactivate", "--sync", prompt}, display);
    output({"xdotool", "key", "--window", prompt, "Return"}, display);
    EXPECT_EQ(manager.waitFor(20s), 0);
}

TEST_F(PromptOnDesktop, TheWindowManagersCloseEndsAWindowThatWaitsForTheServer) {
    server.on(k4m::server::kStatusPath, k4m::sim::answer::body("OK"));
    // The promotion never comes, and the time limits are far away.
    server.on(k4m::server::kPromotionPath, k4m::sim::answer::stallAfter(server, 0, 100));
    writeFile(dir / "server.ini", "[Server]\r\nBase=" + server.base() + "\r\nCAFile=" + server.caFile() +
                                      "\r\nProbe=" + server.base() + "/probe\r\nStallTimeout=600\r\n");
    Child manager({program.string()}, {"DISPLAY=" + display, "QT_QPA_PLATFORM=xcb"});
    ASSERT_FALSE(findWindow("Kandoro Manager").empty());
    ASSERT_TRUE(waitUntil(
        [&] {
            const auto all = server.requests();
            return std::find(all.begin(), all.end(), k4m::server::kPromotionPath) != all.end();
        },
        20s));
    // What the frame's close button sends.
    output({"wmctrl", "-c", "Kandoro Manager"}, display);
    EXPECT_EQ(manager.waitFor(5s), 0) << "the waiting window did not close";
    EXPECT_TRUE(output({"xdotool", "search", "--name", "^Kandoro Manager$"}, display).empty());
}

} // namespace
