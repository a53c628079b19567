// The main window against what a hostile server, a damaged profile or another program on the computer can
// throw at it: unreadable settings, planted links, markup and megabytes of text, a server that drips, a broken
// update.
#include "core/settings_keys.h"
#include "core/ui/shown_text.h"
#include "main_window_fixture.h"
#include "zip_builder.h"

#include <QElapsedTimer>
#include <QTextEdit>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace k4m::test;
using namespace std::chrono_literals;
namespace server = k4m::server;
namespace answer = k4m::sim::answer;

namespace {

// A settings file the run cannot read, and what must be true of it afterwards.
struct UnreadableCase {
    const char* name;
    const char* file; // under the product folder
    const char* logPrefix;
    bool needsOrdinaryUser; // root reads a file of mode 000 all the same
    std::function<void(const fs::path& file, const fs::path& elsewhere)> plant;
};

class UnreadableSettings : public MainWindowTest, public testing::WithParamInterface<UnreadableCase> {};

// The customer key, folders and package versions in a profile the run could not read survive the run
// byte for byte; the run logs the failure and goes on with the defaults.
TEST_P(UnreadableSettings, AreLeftByteIdenticalAndTheRunGoesOn) {
    const UnreadableCase& c = GetParam();
    installationPresent();
    const fs::path file = product() / c.file;
    const fs::path elsewhere = root.path() / "elsewhere.ini";
    writeFile(file, "[General]\r\nCID=KEEP-THIS-KEY\r\nDataFolder=/music/K4\r\n[Packages]\r\nKD4=1002006\r\n");
    c.plant(file, elsewhere);
    const fs::file_type typeBefore = fs::symlink_status(file).type();
    const auto modeBefore = fs::symlink_status(file).permissions();
    const std::string elsewhereBefore = fs::exists(elsewhere) ? readFile(elsewhere) : std::string();
    std::string before;
    if (typeBefore == fs::file_type::regular) {
        fs::permissions(file, fs::perms(0644), fs::perm_options::replace);
        before = readFile(file);
        fs::permissions(file, modeBefore, fs::perm_options::replace);
    }

    auto& w = start();
    EXPECT_FALSE(w.programEnded());
    const auto lines = w.log.lines();
    EXPECT_TRUE(
        std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(c.logPrefix, 0) == 0; }))
        << "no line beginning " << c.logPrefix;
    if (std::string(c.file) == "Installer/installer.ini") {
        EXPECT_EQ(w.ekey->text(), "");
        EXPECT_NE(w.Folders.dataFolder, "/music/K4");
    }
    EXPECT_TRUE(w.close());
    window.reset();

    EXPECT_EQ(fs::symlink_status(file).type(), typeBefore);
    EXPECT_EQ(fs::symlink_status(file).permissions(), modeBefore);
    if (typeBefore == fs::file_type::regular) {
        fs::permissions(file, fs::perms(0644), fs::perm_options::replace);
        EXPECT_EQ(readFile(file), before);
    }
    if (fs::exists(elsewhere)) {
        EXPECT_EQ(readFile(elsewhere), elsewhereBefore);
    }
}

void makeUnreadable(const fs::path& file, const fs::path&) {
    fs::permissions(file, fs::perms::none, fs::perm_options::replace);
}
void makeTooLarge(const fs::path& file, const fs::path&) {
    // Past 16 MB a settings file is no settings file: it is not read at all (and never rewritten).
    std::string lines(17 * 1024 * 1024, '\n');
    writeFile(file, "[General]\r\nCID=KEEP-THIS-KEY\r\n" + lines);
}
void replaceByLink(const fs::path& file, const fs::path& elsewhere) {
    fs::rename(file, elsewhere);
    fs::create_symlink(elsewhere, file);
}

std::vector<UnreadableCase> unreadableCases() {
    std::vector<UnreadableCase> cases{
        UnreadableCase{"ProfileModeZero", "Installer/installer.ini",
                       "Profile could not be read, left unchanged: ", true, makeUnreadable},
        UnreadableCase{"ProfileTooLarge", "Installer/installer.ini",
                       "Profile could not be read, left unchanged: ", false, makeTooLarge},
        UnreadableCase{"ProfileIsALink", "Installer/installer.ini",
                       "Profile could not be read, left unchanged: ", false, replaceByLink},
        UnreadableCase{"PluginSettingsModeZero", "kandoro4.ini",
                       "Plug-in settings could not be read, left unchanged: ", true, makeUnreadable},
        UnreadableCase{"PluginSettingsTooLarge", "kandoro4.ini",
                       "Plug-in settings could not be read, left unchanged: ", false, makeTooLarge}};
    // The superuser reads a file of mode 000 all the same: those cases run as an ordinary user instead (a test
    // of its own in tests/CMakeLists.txt).
    if (::geteuid() == 0) std::erase_if(cases, [](const UnreadableCase& c) { return c.needsOrdinaryUser; });
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Files, UnreadableSettings, testing::ValuesIn(unreadableCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, TheProfileHoldingTheKeyIsTheUsersAloneAndTheProductFolderNotOpenToOthers) {
    installationPresent();
    writeFile(installer() / "installer.ini", "[General]\r\nCID=MY-KEY\r\n");
    fs::permissions(installer() / "installer.ini", fs::perms(0644));
    start();
    ASSERT_TRUE(window->close());
    EXPECT_EQ(fs::status(installer() / "installer.ini").permissions(), fs::perms(0600));
    EXPECT_EQ(fs::status(product()).permissions() & (fs::perms::group_write | fs::perms::others_write),
              fs::perms::none);
}

TEST_F(MainWindowTest, ALinkPlantedAsTheLogIsLeftUntouched) {
    const fs::path victim = root.path() / "private.txt";
    writeFile(victim, "secret\n");
    fs::create_directories(installer());
    fs::create_symlink(victim, installer() / "log.txt");
    acceptNotice();
    auto& w = start();
    EXPECT_FALSE(w.programEnded());
    EXPECT_EQ(readFile(victim), "secret\n");
    EXPECT_TRUE(fs::is_symlink(installer() / "log.txt"));
}

TEST_F(MainWindowTest, MarkupFromTheServerIsShownAsText) {
    installationPresent();
    const std::string markup = "<img src=\"" + (root.path() / "private.png").string() + "\"><b>Sale</b>";
    serve(server::kPromotionPath, markup);
    auto& w = start();
    ASSERT_TRUE(w.Label9->isVisible());
    EXPECT_EQ(w.Label9->text().toStdString(), markup);
    EXPECT_EQ(w.Label9->textFormat(), Qt::PlainText);
}

TEST_F(MainWindowTest, AMegabyteStatusOnOneLineIsPromptedWithinASecond) {
    serve(server::kStatusPath, std::string(1024 * 1024, 'M'));
    QElapsedTimer clock;
    qint64 shownAfter = -1;
    QString shownText;
    const auto prompt = answerNextModal([&](QWidget* d) {
        shownAfter = clock.elapsed();
        shownText = d->findChild<QTextEdit*>("tPrompt")->toPlainText();
        clickButton(d, "OK");
    });
    window = std::make_unique<k4m::TformD>(platform, std::vector<std::string>{});
    clock.start();
    window->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return prompt->seen; }, 10000));
    EXPECT_EQ(prompt->header, "SERVER STATUS");
    EXPECT_LT(shownAfter, 1000);
    EXPECT_EQ(shownText.size(), k4m::kMaxShownText);
    EXPECT_TRUE(shownText.endsWith(QChar(0x2026)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->programEnded(); }, 5000));
}

// A server that drips one byte at a time no longer holds the start-up for ever.
TEST_F(MainWindowTest, ADrippingServerFailsTheRequestAndStartUpGoesOn) {
    installationPresent();
    server.on(server::kPromotionPath, answer::drip(server, "Summer sale on all kits!", 1000ms));
    QElapsedTimer clock;
    clock.start();
    auto& w = start();
    EXPECT_FALSE(w.programEnded());
    EXPECT_FALSE(w.Label9->isVisible()); // the failed request reads as an error, so nothing is promoted
    EXPECT_TRUE(w.Timer1->isActive());
    EXPECT_LT(clock.elapsed(), 15000); // the stall period is 2 s here
}

// Closing the window while it waits for the server cancels the request and closes at once, long before any
// time limit of the request.
TEST_F(MainWindowTest, CloseWhileWaitingForTheServerCancelsAndCloses) {
    installationPresent();
    writeFile(managerFolder / "server.ini", "[Server]\r\nBase=" + server.base() + "\r\nCAFile=" + server.caFile() +
                                                "\r\nProbe=" + server.base() + "/probe\r\nStallTimeout=600\r\n");
    server.on(server::kPromotionPath, answer::stallAfter(server, 0, 100));
    window = std::make_unique<k4m::TformD>(platform, std::vector<std::string>{});
    // The close comes the way a user's does: from the event loop the waiting window keeps turning.
    QElapsedTimer clock;
    QTimer closer;
    closer.setInterval(20);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (!requested(server::kPromotionPath)) return;
        closer.stop();
        clock.start();
        window->close(); // ignored for the moment: the waiting handler ends first
    });
    closer.start();
    window->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return clock.isValid() && !window->isVisible(); }, 20000));
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_FALSE(window->log.isOpen());
    EXPECT_FALSE(window->Timer1->isActive());
    // The steps after the cancelled request did not run.
    EXPECT_FALSE(requested(server::kGlobalSettingsPath));
}

TEST_F(MainWindowTest, TemporaryFilesOfACrashedRunAreRemovedAtTheNextStart) {
    installationPresent();
    Child ended({"true"});
    ASSERT_EQ(ended.waitFor(10s), 0);
    const std::string dead = std::to_string(ended.pid());
    const fs::path chosenData = root.path() / "MyData";
    const fs::path vst64 = root.path() / "MyVST64";
    writeFile(installer() / "installer.ini", "[General]\r\nDataFolder=" + chosenData.string() +
                                                 "\r\nPlugin64Folder=" + vst64.string() + "\r\n");
    const fs::path leftovers[] = {
        managerFolder / "Update" / (".k4m-archive." + dead + ".0.tmp.part"), // the update archive
        installer() / ("installer.ini." + dead + ".3.tmp"),                  // a profile being written
        installer() / "homescreen.jpg.part",                                 // the home picture
        chosenData / ("Kandoro4Manager.exe." + dead + ".0.tmp"),             // the self-copy, in the chosen folder
        chosenData / "cache" / "kd4_core.cxp4.part",                         // a package being downloaded
        chosenData / (".k4m-inflating." + dead + ".7.tmp"),                  // a package entry being inflated
        vst64 / ("kandoro4.dll." + dead + ".2.tmp"),                         // a plug-in being copied
    };
    for (const fs::path& file : leftovers)
        writeFile(file, "half of something");
    writeFile(vst64 / "another-program.part", "not ours"); // plug-in folders are shared with other programs
    start();
    EXPECT_TRUE(fs::exists(vst64 / "another-program.part"));
    for (const fs::path& file : leftovers)
        EXPECT_FALSE(fs::exists(file)) << file;
    EXPECT_TRUE(fs::exists(installer() / "installer.ini"));
}

TEST_F(MainWindowTest, NonsenseInServerIniIsLoggedAndTheDefaultUsed) {
    installationPresent();
    std::string config = readFile(managerFolder / "server.ini");
    config.replace(config.find("StallTimeout=2"), 14, "StallTimeout=0");
    writeFile(managerFolder / "server.ini", config);
    auto& w = start();
    EXPECT_TRUE(logHas("server.ini: StallTimeout=0 is not a positive number of seconds; using 60"));
    EXPECT_EQ(w.Server.stallTimeoutSeconds, 60);
}

class BrokenUpdate : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        serve(server::kVersionPath, "1.2.10");
    }
    void offerArchive(const std::vector<ZipEntry>& entries) {
        makeZip(root.path() / "update.zip", entries);
        server.on(server::kManagerArchivePath, answer::file((root.path() / "update.zip").string()));
    }
    fs::path copy() const { return managerFolder / "Update" / "km4u_1210.exe"; }
    // Accepts the update offer, then answers the prompt that follows with OK; `error` records that prompt.
    void acceptThenAcknowledge() {
        answerNextModal([this](QWidget* d) {
            clickButton(d, "Yes, auto-update now");
            error = clickOnNextModal("OK");
        });
    }
    std::shared_ptr<ModalSeen> error;
};

TEST_F(BrokenUpdate, AnArchiveWhoseProgramIsALinkIsRefused) {
    offerArchive({{"Kandoro4Manager.exe", "/bin/sh", 0, S_IFLNK}});
    acceptThenAcknowledge();
    auto& w = start();
    ASSERT_TRUE(error && error->seen);
    EXPECT_EQ(error->header, "Error");
    EXPECT_EQ(error->text, "The manager could not auto-update. Make sure to run the manager from a folder that you "
                           "have write access to.");
    EXPECT_TRUE(w.programEnded());
    EXPECT_FALSE(fs::exists(copy()));
    EXPECT_FALSE(fs::exists(managerFolder / "Update" / "Kandoro4Manager.exe"));
}

TEST_F(BrokenUpdate, ABrokenCopyOfTheSameVersionIsReplacedByTheFreshDownload) {
    const std::string fresh = "#!/bin/sh\necho fresh > \"" + (root.path() / "started.txt").string() + "\"\n";
    offerArchive({{"Kandoro4Manager.exe", fresh}});
    writeFile(copy(), "/bin/sh"); // what a link entry used to leave behind
    fs::permissions(copy(), fs::perms(0755));
    clickOnNextModal("Yes, auto-update now");
    auto& w = start();
    EXPECT_TRUE(w.programEnded());
    EXPECT_EQ(readFile(copy()), fresh);
    EXPECT_TRUE(waitUntil([&] { return fs::exists(root.path() / "started.txt"); }));
}

TEST_F(BrokenUpdate, AnUpdateThatCannotBeStartedIsReportedAndTheManagerKeepsRunning) {
    installationPresent();
    offerArchive({{"Kandoro4Manager.exe", "this is no program"}});
    acceptThenAcknowledge();
    auto& w = start();
    ASSERT_TRUE(error && error->seen);
    EXPECT_EQ(error->header, "Error");
    EXPECT_EQ(error->text.toStdString(), "The updated manager could not be started. This version of the manager "
                                         "stays open; please try the update again later.");
    EXPECT_FALSE(w.programEnded());
    EXPECT_TRUE(w.Timer1->isActive());
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(requested(server::kPromotionPath)); // start-up went on after the prompt
}

} // namespace
