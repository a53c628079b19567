// Start Installation to the end of the run, on the main window against the local HTTPS vendor with real
// packages: the licence, the rows, progress bar and status line on the way, the files, profile keys and
// shortcut afterwards, failures, cancel, the host programs, the elevated copy and the post-install tasks.
#include "installation_fixture.h"

#include <QComboBox>
#include <QGraphicsDropShadowEffect>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRegularExpression>
#include <fstream>
#include <iostream>
#include <httplib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace k4m::test;
using namespace std::chrono_literals;
namespace server = k4m::server;
namespace pack = k4m::pack;

namespace {

TEST_F(InstallationTest, RunsToTheEndWithRowsProgressAndStatusLineOnTheWay) {
    // The sound package trickles in, so the run can be watched while it downloads.
    server.on("/pkg/funk.cxp4", k4m::sim::answer::drip(server, funkPackage, 1ms, funkPackage.size() - 2500));
    auto& w = open();
    connect(w);
    EXPECT_EQ(w.ActualInstallSize, 41);
    const auto licence = agreeToLicence();
    const auto unexpected = unexpectedDialog();
    QTest::mouseClick(w.bInstall, Qt::LeftButton);

    ASSERT_TRUE(QTest::qWaitFor([&] { return label(w.Products[1]) == "Downloading..."; }, 20000));
    EXPECT_TRUE(licence->seen);
    EXPECT_EQ(licence->title, "License Agreement");
    EXPECT_TRUE(licence->buttons.contains("I Agree") && licence->buttons.contains("Cancel Installation"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.lStatus->text().contains("Funk Kit Sounds"); }, 5000));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+% of 4\\dkB @\\d+kB/s   \\[Funk Kit Sounds\\]$"))
                    .match(w.lStatus->text())
                    .hasMatch())
        << w.lStatus->text().toStdString();
    EXPECT_EQ(label(w.Products[0]), "Completed");
    EXPECT_EQ(colour(w.Products[0]), 1);
    EXPECT_EQ(colour(w.Products[1]), 2);
    EXPECT_FALSE(w.Products[1].lSelect->isVisible());
    EXPECT_TRUE(w.pbar->isVisible());
    EXPECT_TRUE(w.bCancel->isEnabled());
    EXPECT_FALSE(w.bInstall->isEnabled());
    EXPECT_FALSE(w.bOptions->isEnabled());
    EXPECT_FALSE(w.bUninstall->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.pbar->value() > 10; }, 10000));
    screenshot(w, "installation_running");

    ASSERT_TRUE(runEnded(w));
    screenshot(w, "installation_finished");
    EXPECT_FALSE(unexpected->seen) << unexpected->title.toStdString() << ": " << unexpected->text.toStdString();
    unexpected->stop = true;
    EXPECT_EQ(label(w.Products[0]), "Completed");
    EXPECT_EQ(label(w.Products[1]), "Completed");
    EXPECT_EQ(colour(w.Products[1]), 1);
    EXPECT_EQ(w.lStatus->text(), "");
    expectButtonsReset(w);

    // What the packages installed and what the profile and the plug-in's settings say now.
    EXPECT_EQ(readFile(product() / "styles/Funk.sty"), "funk style");
    EXPECT_EQ(fs::file_size(product() / "Players/Drummer.dat"), 2'000u);
    EXPECT_EQ(fs::file_size(data / "data/sounds/funk/kick.wav"), 40'000u);
    EXPECT_TRUE(fs::exists(data / "cache/CORE.cxp4"));
    EXPECT_FALSE(fs::exists(data / "cache/test.txt"));
    const auto saved = savedProfile();
    EXPECT_EQ(saved.readInteger("Packages", "CORE", -1), 7);
    EXPECT_EQ(saved.readInteger("Packages", "FUNK", -1), 2);
    EXPECT_TRUE(read(saved, k4m::profile::LicenseAgreed));
    k4m::IniFile plugin((product() / "kandoro4.ini").string());
    plugin.load();
    EXPECT_EQ(plugin.readString("General", "SoundFolder", ""), (data / "data").string());
    EXPECT_EQ(plugin.readInteger("General", "PriorityMode", -1), 1);
    EXPECT_FALSE(plugin.valueExists("General", "GFX_D2D"));
    EXPECT_TRUE(fs::is_directory(product() / "data/3dkit/materials/cache"));
    EXPECT_TRUE(fs::is_directory(product() / "logs"));

    // The shortcut starts the manager's own copy in the data folder, made now that the folder exists.
    EXPECT_EQ(readFile(data / "Kandoro4Manager.exe"), readFile(platform.ownPath));
    const std::string entry = readFile(shortcut());
    EXPECT_NE(entry.find((data / "Kandoro4Manager.exe").string()), std::string::npos) << entry;
    EXPECT_NE(logIndex("VC Redistributable check inactive"), -1);
    EXPECT_EQ(logIndex("Executing elevation for plugin copies"), -1);
    EXPECT_TRUE(platform.launched.empty());
}

TEST_F(InstallationTest, ASecondRunInTheSameSessionAsksNothingAndTheLicenceIsNeverShownAgain) {
    installationPresent();
    profile("LicenseAgreed=1\r\n");
    auto& w = open();
    for (int run = 0; run < 2; ++run) {
        connect(w);
        if (run == 1) {
            // Everything is up to date now: repair the core from the cache.
            w.Products[0].lSelect->setCurrentIndex(w.Products[0].lSelect->findText("REPAIR"));
            ASSERT_TRUE(w.bInstall->isEnabled());
        }
        // An existing installation asks to close the hosts once per run of the program.
        const auto hosts = run == 0 ? clickOnNextModal("OK") : unexpectedDialog();
        QTest::mouseClick(w.bInstall, Qt::LeftButton);
        ASSERT_TRUE(runEnded(w)) << run;
        if (run == 0) {
            EXPECT_EQ(hosts->header, "Close DAWs");
            EXPECT_EQ(hosts->text, "Make sure all hosts/DAWs are closed and then click OK");
        } else {
            EXPECT_FALSE(hosts->seen) << hosts->header.toStdString();
            hosts->stop = true;
        }
        EXPECT_EQ(label(w.Products[0]), "Completed");
    }
    const auto requests = server.requests();
    EXPECT_EQ(std::count(requests.begin(), requests.end(), server::kLicensePath), 0);
    EXPECT_EQ(std::count(requests.begin(), requests.end(), "/pkg/core.cxp4"), 1); // the second run used the cache
    std::vector<std::string> shortcuts;
    for (const auto& e : fs::directory_iterator(shortcut().parent_path()))
        shortcuts.push_back(e.path().filename().string());
    EXPECT_EQ(shortcuts, std::vector<std::string>{"Kandoro 4 Manager.desktop"});
}

TEST_F(InstallationTest, CancellingTheLicenceStartsNothingAndALongLicenceFromTheServerIsShown) {
    const std::string longLicence = "SERVER LICENCE " + std::string(4100, 'x');
    vendorFile(std::string(server::kManagerFilesDir) + "/kd4license.rtf", longLicence);
    auto& w = open();
    connect(w);
    QString shown;
    const auto licence = answerNextModalWhere(
        [](QWidget* d) { return qobject_cast<k4m::TLicenseForm*>(d) != nullptr; },
        [&](QWidget* d) {
            auto* form = static_cast<k4m::TLicenseForm*>(d);
            shown = form->mLicense->toPlainText();
            form->grab().save(QStringLiteral(K4M_SCREENSHOT_DIR "/licence_window.png"));
            EXPECT_EQ(form->size(), QSize(782, 480));
            EXPECT_EQ(form->bAgree->size(), QSize(304, 22));
            EXPECT_LT(form->bCancel->x(), form->bAgree->x());
            QTest::keyClick(d, Qt::Key_Escape);
        });
    QTest::mouseClick(w.bInstall, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return licence->seen; }, 15000));
    QTest::qWait(300);
    EXPECT_EQ(shown.toStdString(), longLicence);
    EXPECT_EQ(w.Worker->dldCommand, 0);
    EXPECT_TRUE(w.bInstall->isEnabled());
    EXPECT_FALSE(w.bCancel->isEnabled());
    EXPECT_FALSE(w.pbar->isVisible());
    EXPECT_FALSE(savedProfile().valueExists("General", "LicenseAgreed"));
    EXPECT_FALSE(fs::exists(product() / "kandoro4.ini"));

    // A short answer (an error, say) leaves the built-in licence; Enter agrees.
    vendorFile(std::string(server::kManagerFilesDir) + "/kd4license.rtf", "{\\rtf1 short}");
    const auto again = answerNextModalWhere(
        [](QWidget* d) { return qobject_cast<k4m::TLicenseForm*>(d) != nullptr; },
        [&](QWidget* d) {
            shown = static_cast<k4m::TLicenseForm*>(d)->mLicense->toPlainText();
            QTest::keyClick(d, Qt::Key_Return);
        });
    QTest::mouseClick(w.bInstall, Qt::LeftButton);
    ASSERT_TRUE(runEnded(w));
    EXPECT_EQ(shown, k4m::TLicenseForm::builtInText());
    EXPECT_TRUE(read(savedProfile(), k4m::profile::LicenseAgreed));
}

// Only "I Agree" or Enter agree: a licence window that goes away any other way (hidden, its event loop ended
// from outside) is no agreement, and nothing is started.
TEST_F(InstallationTest, ALicenceWindowGoneWithoutAnAnswerIsNoAgreement) {
    auto& w = open();
    connect(w);
    const auto licence = answerNextModalWhere(
        [](QWidget* d) { return qobject_cast<k4m::TLicenseForm*>(d) != nullptr; }, [](QWidget* d) { d->hide(); });
    QTest::mouseClick(w.bInstall, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return licence->seen; }, 15000));
    QTest::qWait(300);
    EXPECT_EQ(w.Worker->dldCommand, 0);
    EXPECT_NE(w.lCustomer->text(), "Logged out"); // no run took place
    EXPECT_TRUE(w.bInstall->isEnabled());
    EXPECT_FALSE(savedProfile().valueExists("General", "LicenseAgreed"));
    EXPECT_FALSE(fs::exists(product() / "kandoro4.ini"));
}

// From the moment the batch is handed over, the rows show their state: an action combo still open to the user
// would change the slots the worker is processing and offer Start Installation again.
TEST_F(InstallationTest, TheRowsShowTheirStateAsSoonAsTheRunStarts) {
    profile("LicenseAgreed=1\r\n");
    server.on("/pkg/core.cxp4", k4m::sim::answer::stallAfter(server, 1000, corePackage.size()));
    auto& w = open();
    connect(w);
    QTest::mouseClick(w.bInstall, Qt::LeftButton);
    // No tick has run since the click returned.
    for (const int row : {0, 1}) {
        EXPECT_FALSE(w.Products[row].lSelect->isVisible()) << row;
        EXPECT_TRUE(w.Products[row].lInfo->isVisible()) << row;
    }
    // A change the combo still receives is not applied to the running batch.
    QComboBox* funk = w.Products[1].lSelect;
    funk->setCurrentIndex(funk->currentIndex() == 0 ? 1 : 0);
    EXPECT_FALSE(w.bInstall->isEnabled());
    QTest::mouseClick(w.bCancel, Qt::LeftButton);
    ASSERT_TRUE(runEnded(w, 20000));
    EXPECT_EQ(label(w.Products[1]), "Pending");
    expectButtonsReset(w);
}

TEST_F(InstallationTest, FailedPackagesAreListedEachOnItsOwnLine) {
    profile("LicenseAgreed=1\r\n");
    server.on("/pkg/core.cxp4", k4m::sim::answer::body("gone", 404));
    std::string broken = funkPackage;
    broken[broken.size() - 100] ^= 0x55; // the stream's data no longer inflates
    vendorFile("pkg/funk.cxp4", broken);
    auto& w = open();
    connect(w);
    const auto errors = clickOnNextModal("OK", 30000);
    QTest::mouseClick(w.bInstall, Qt::LeftButton);
    ASSERT_TRUE(runEnded(w));
    ASSERT_TRUE(QTest::qWaitFor([&] { return errors->seen; }, 10000));
    EXPECT_EQ(errors->header, "INSTALLATION ERRORS");
    // The prompt shows the lines as paragraphs; the empty ones separate the parts.
    const QStringList lines = errors->text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4) << errors->text.toStdString();
    EXPECT_EQ(lines[0], "The following errors were encountered during the installation:");
    EXPECT_TRUE(lines[1].startsWith("ERROR: ") && lines[1].contains("404")) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].startsWith("[FUNK.cxp4] Decompression error!")) << lines[2].toStdString();
    EXPECT_TRUE(lines[3].startsWith("We recommend you re-open this tool"));
    EXPECT_EQ(label(w.Products[0]), "Failed");
    EXPECT_EQ(label(w.Products[1]), "Failed");
    expectButtonsReset(w);
    EXPECT_NE(logIndex("VC Redistributable check inactive"), -1); // the post-install tasks run after the prompt
}

TEST_F(InstallationTest, CancelDuringADownloadEndsTheRunLikeAnyOther) {
    profile("LicenseAgreed=1\r\n");
    server.on("/pkg/funk.cxp4", k4m::sim::answer::stallAfter(server, 1000, funkPackage.size()));
    auto& w = open();
    connect(w);
    QTest::mouseClick(w.bInstall, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return label(w.Products[1]) == "Downloading..."; }, 20000));
    QTest::mouseClick(w.bCancel, Qt::LeftButton);
    ASSERT_TRUE(runEnded(w, 20000));
    EXPECT_EQ(label(w.Products[1]), "Downloading...");
    EXPECT_EQ(label(w.Products[0]), "Completed");
    expectButtonsReset(w);
    EXPECT_NE(logIndex("VC Redistributable check inactive"), -1);
    EXPECT_FALSE(fs::exists(data / "cache/FUNK.cxp4"));
    EXPECT_EQ(savedProfile().readInteger("Packages", "FUNK", -1), -1);
}

TEST_F(InstallationTest, AnUnwritableDataFolderStopsBeforeAnything) {
    writeFile(root.path() / "plain-file", "x");
    // A file in the way, and a folder named relative to wherever the program happens to run.
    const fs::path cwd = root.path() / "cwd";
    fs::create_directories(cwd);
    struct Cwd {
        fs::path before = fs::current_path();
        ~Cwd() { fs::current_path(before); }
    } restored;
    fs::current_path(cwd);
    for (const fs::path& folder : {root.path() / "plain-file" / "data", fs::path("relative data")}) {
        SCOPED_TRACE(folder.string());
        data = folder;
        profile("LicenseAgreed=1\r\n");
        auto& w = open();
        connect(w);
        const auto error = clickOnNextModal("OK");
        QTest::mouseClick(w.bInstall, Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return error->seen; }, 10000));
        EXPECT_EQ(error->header, "Folder Error");
        EXPECT_EQ(error->text, "There is a problem accessing your chosen data folder. Please change/verify the folder "
                               "under \"Install Options\"");
        QTest::qWait(300);
        EXPECT_EQ(w.Worker->dldCommand, 0);
        EXPECT_TRUE(w.bInstall->isEnabled());
        EXPECT_FALSE(w.bCancel->isEnabled());
        EXPECT_FALSE(fs::exists(product() / "kandoro4.ini"));
        EXPECT_FALSE(fs::exists(cwd / "relative data" / "cache"));
        w.close();
    }
}

TEST_F(InstallationTest, PackagingForAnOfflineComputerLeavesThePluginSettingsAlone) {
    installationPresent();
    profile("LicenseAgreed=1\r\nCreateOffline=1\r\n");
    const std::string settingsBefore = readFile(product() / "kandoro4.ini");
    auto& w = open();
    connect(w);
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.bInstall->text() == "Start Packaging"; }, 2000));
    clickOnNextModal("OK"); // the hosts
    QTest::mouseClick(w.bInstall, Qt::LeftButton);
    ASSERT_TRUE(runEnded(w));
    EXPECT_TRUE(fs::is_directory(data / "Offline"));
    EXPECT_TRUE(fs::exists(data / "cache/CORE.cxp4"));
    EXPECT_TRUE(fs::exists(data / "cache/FUNK.cxp4"));
    EXPECT_FALSE(fs::exists(product() / "styles/Funk.sty")); // fetched, not installed
    EXPECT_EQ(readFile(product() / "kandoro4.ini"), settingsBefore);
    EXPECT_EQ(label(w.Products[0]), "Completed");
    EXPECT_EQ(label(w.Products[1]), "Completed");
    EXPECT_NE(logIndex("VC Redistributable check inactive"), -1);
}

// Starts a copy of sleep whose image name contains the host-list entry.
std::unique_ptr<Child> hostProgram(const fs::path& folder) {
    fs::create_directories(folder);
    const fs::path program = folder / ("My" + kHost + "64");
    fs::copy_file("/bin/sleep", program, fs::copy_options::overwrite_existing);
    auto child = std::make_unique<Child>(std::vector<std::string>{program.string(), "60"});
    waitUntil([&] {
        std::error_code ec;
        return fs::read_symlink("/proc/" + std::to_string(child->pid()) + "/exe", ec) == program;
    });
    return child;
}

TEST_F(InstallationTest, HostProgramsAreEndedButNeverWithoutAWarning) {
    profile("LicenseAgreed=1\r\n");
    auto& w = open(); // a new installation: no question unless a host runs
    auto host = hostProgram(root.path() / "bin");
    connect(w);
    auto warning = clickOnNextModal("OK");
    QTest::mouseClick(w.bInstall, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return warning->seen; }, 10000));
    EXPECT_EQ(warning->header, "Close DAWs");
    EXPECT_EQ(host->waitFor(10s), 128 + SIGKILL);
    ASSERT_TRUE(runEnded(w));

    // Nothing runs: the second run asks nothing.
    connect(w);
    w.Products[0].lSelect->setCurrentIndex(w.Products[0].lSelect->findText("REPAIR"));
    auto none = unexpectedDialog();
    QTest::mouseClick(w.bInstall, Qt::LeftButton);
    ASSERT_TRUE(runEnded(w));
    EXPECT_FALSE(none->seen) << none->header.toStdString();
    none->stop = true;

    // A host started since the answer is warned about before it is ended.
    auto again = hostProgram(root.path() / "bin");
    connect(w);
    w.Products[0].lSelect->setCurrentIndex(w.Products[0].lSelect->findText("REPAIR"));
    warning = clickOnNextModal("OK");
    QTest::mouseClick(w.bInstall, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return warning->seen; }, 10000));
    EXPECT_EQ(warning->header, "Close DAWs");
    EXPECT_EQ(again->waitFor(10s), 128 + SIGKILL);
    ASSERT_TRUE(runEnded(w));
}

TEST_F(InstallationTest, PostInstallDownloadsAndStartsAMissingRuntimeAndTheAaxBundlesAreRegistered) {
    serve(server::kGlobalSettingsPath, "[General]\r\nHomeScreen=0\r\n[Redistributable]\r\nActive=1\r\n"
                                       "Parameters=/quiet /norestart\r\n");
    vendorFile("Hq7Wn2Zk5Vb9Xc3M/vcredist_x64.exe", "MZ runtime installer");
    platform.x64 = true;
    platform.vcUninstallKey = false;
    platform.vcRuntimeKey = false;
    const fs::path proTools = home.dataHome() / "Avid/Audio/Plug-Ins";
    fs::create_directories(proTools);
    profile("LicenseAgreed=1\r\nInstallAAX=1\r\n");
    auto& w = open();
    connect(w);
    const auto runtime = answerNextModal([&](QWidget* d) {
        // Nothing is downloaded before the user was told.
        EXPECT_FALSE(fs::exists(installer() / "redist.exe"));
        clickButton(d, "OK");
    }, 30000);
    QTest::mouseClick(w.bInstall, Qt::LeftButton);
    ASSERT_TRUE(runEnded(w));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.lStatus->text() == "Installation completed."; }, 15000));
    EXPECT_EQ(runtime->header, "Runtime Install");
    EXPECT_EQ(runtime->text, "The installer will now download and install a required Microsoft package (Visual C++ "
                             "2015 Redistributable)");
    EXPECT_EQ(readFile(installer() / "redist.exe"), "MZ runtime installer");
    ASSERT_EQ(platform.launched.size(), 1u);
    EXPECT_EQ(platform.launched[0].target, (installer() / "redist.exe").string());
    EXPECT_EQ(platform.launched[0].parameters.value_or("<none>"), "/quiet /norestart");
    EXPECT_EQ(platform.launched[0].flags, 0);
    const long missing = logIndex("64-bit VCRT SP is not present");
    EXPECT_NE(missing, -1);
    EXPECT_EQ(logIndex("Installing VC Redistributable"), missing + 1);
    QTest::qWait(500);
    EXPECT_EQ(w.lStatus->text(), "Installation completed."); // the line keeps it

    // The AAX bundles: their places in the profile, marked as system folders.
    const auto saved = savedProfile();
    EXPECT_EQ(read(saved, k4m::profile::AAX), (proTools / "Kandoro4.aaxplugin").string());
    EXPECT_EQ(read(saved, k4m::profile::AAX_SK7), (proTools / "soundK7.aaxplugin").string());
    using Attribute = std::pair<std::string, std::string>;
    EXPECT_EQ(platform.attributeCommands, (std::vector<Attribute>{{"+S Kandoro4.aaxplugin", proTools.string()},
                                                                  {"+S soundK7.aaxplugin", proTools.string()}}));
}

TEST_F(InstallationTest, AShortcutThatCannotBeMadeIsReportedAndTheRunStillEnds) {
    writeFile(home.dataHome() / "applications", "a file where the start menu should be");
    profile("LicenseAgreed=1\r\n");
    auto& w = open();
    connect(w);
    const auto report = clickOnNextModal("OK", 30000);
    QTest::mouseClick(w.bInstall, Qt::LeftButton);
    ASSERT_TRUE(runEnded(w));
    ASSERT_TRUE(QTest::qWaitFor([&] { return report->seen; }, 10000));
    EXPECT_TRUE(report->text.contains("applications")) << report->text.toStdString();
    EXPECT_EQ(readFile(home.dataHome() / "applications"), "a file where the start menu should be");
    EXPECT_EQ(logIndex("WARNING: Could not create start menu"), -1); // reported by the shortcut task itself
    expectButtonsReset(w);
    EXPECT_NE(logIndex("VC Redistributable check inactive"), -1);
}

TEST_F(InstallationTest, APresentRuntimeIsNotDownloaded) {
    serve(server::kGlobalSettingsPath, "[General]\r\nHomeScreen=0\r\n[Redistributable]\r\nActive=1\r\n");
    platform.x64 = true;
    platform.vcUninstallKey = false;
    platform.vcRuntimeKey = true;
    profile("LicenseAgreed=1\r\n");
    auto& w = open();
    connect(w);
    const auto unexpected = unexpectedDialog();
    QTest::mouseClick(w.bInstall, Qt::LeftButton);
    ASSERT_TRUE(runEnded(w));
    QTest::qWait(300);
    EXPECT_FALSE(unexpected->seen);
    unexpected->stop = true;
    const long missing = logIndex("64-bit VCRT SP is not present");
    EXPECT_NE(missing, -1);
    EXPECT_EQ(logIndex("Newer VC++ RT is present"), missing + 1);
    EXPECT_EQ(logIndex("VC Redistributable up-to-date"), missing + 2);
    EXPECT_FALSE(fs::exists(installer() / "redist.exe"));
    EXPECT_TRUE(platform.launched.empty());
}

// A plug-in folder the user may not write: the plug-in is staged in the product folder and the manager starts
// itself once more ("CPY ALL", asking for elevation) as a real child process, which asks pkexec (a stand-in
// here) to run the copy with administrator rights.
TEST_F(InstallationTest, ARefusedPluginCopyStartsTheElevatedCopy) {
    vendorFile("kd4_main/COM11/M-CORE", "[General]\r\nVersion=4.1.0\r\n"
                                        "[CORE_VST64]\r\nName=Core Plug-in\r\nTarget=WINVST64\r\nVST64=1\r\nVersion=7\r\n"
                                        "Size=1\r\nLocation=2|core_win64\r\n");
    vendorFile("pkg/core_win64_4.1.0.cxp4", pack::rawPackage({pack::entry("bin\\64\\kandoro4.dll", "plug-in"),
                                                              pack::entry("bin\\64\\readme.txt", noise(2'000), 0)}));
    const fs::path vst = root.path() / "vst64";
    fs::create_directories(vst);
    const bool superuser = ::geteuid() == 0;
    // The superuser writes any folder; a folder in the way refuses it all the same.
    if (superuser) fs::create_directories(vst / "kandoro4.dll/in-the-way");
    fs::permissions(vst, fs::perms(0555));
    profile("LicenseAgreed=1\r\nInstallVST64=1\r\nPlugin64Folder=" + vst.string() + "\r\n");

    // The window's program file records how it was started, then runs the real manager.
    const fs::path manager = root.path() / "prog/Kandoro4Manager.exe";
    fs::create_directories(manager.parent_path());
    // Run as an ordinary user by the superuser's test run, the program comes from a copy that user may read.
    const char* reachable = std::getenv("K4M_AS_USER_EXTRA");
    fs::copy_file(reachable != nullptr ? reachable : K4M_MANAGER_EXE, manager);
    const fs::path started = root.path() / "started.txt";
    const fs::path pkexecLog = root.path() / "pkexec.txt";
    writeFile(platform.ownPath, "#!/bin/sh\necho \"$* uid=$(id -u)\" >> '" + started.string() + "'\n'" +
                                    manager.string() + "' \"$@\"\necho \"exit $?\" >> '" + started.string() + "'\n");
    writeFile(root.path() / "bin/pkexec", "#!/bin/sh\necho \"$*\" >> '" + pkexecLog.string() + "'\n");
    fs::permissions(root.path() / "bin/pkexec", fs::perms(0755));
    ScopedEnv path("PATH", (root.path() / "bin").string() + ":" + std::getenv("PATH"));

    auto& w = open();
    connect(w);
    const auto unexpected = unexpectedDialog();
    QTest::mouseClick(w.bInstall, Qt::LeftButton);
    ASSERT_TRUE(runEnded(w));
    EXPECT_FALSE(unexpected->seen) << unexpected->text.toStdString();
    EXPECT_EQ(readFile(product() / "bin/64/kandoro4.dll"), "plug-in");
    EXPECT_NE(logIndex("Elevation needed for " + vst.string()), -1);
    EXPECT_NE(logIndex("Executing elevation for plugin copies"), -1);
    ASSERT_EQ(platform.launched.size(), 1u);
    EXPECT_EQ(platform.launched[0].target, platform.ownPath);
    EXPECT_EQ(platform.launched[0].parameters.value_or(""), "CPY ALL");
    EXPECT_EQ(platform.launched[0].flags, k4m::LaunchRunAs);
    EXPECT_EQ(w.Status.overrideText, "");

    ASSERT_TRUE(waitUntil([&] { return fs::exists(started) && readFile(started).find("exit") != std::string::npos; },
                          30s));
    EXPECT_EQ(readFile(started), "CPY ALL uid=" + std::to_string(::geteuid()) + "\nexit 0\n");
    if (!superuser) {
        EXPECT_EQ(readFile(pkexecLog), "env HOME=" + home.home().string() + " XDG_DATA_HOME=" +
                                           home.dataHome().string() + " " + manager.string() + " CPY ALL\n");
    } else {
        EXPECT_FALSE(fs::exists(pkexecLog)); // the superuser's copy never asks for more rights
    }
    fs::permissions(vst, fs::perms(0755));
}

} // namespace
