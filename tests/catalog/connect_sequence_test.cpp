// The Connect sequence against a scripted server: which requests it makes, what it logs and shows, which rows
// and slots it builds, and the offline variants with their files.
#include "catalog/connect_sequence.h"
#include "core/server_requests.h"
#include "core/text_file.h"
#include "temp_dir.h"

#include <algorithm>
#include <array>
#include <gtest/gtest.h>
#include <map>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;
using k4m::ConnectResult;
using k4m::IniFile;

namespace {

constexpr const char* kBase = "https://vendor.test";
constexpr const char* kKey = "ABC-123";

std::string eid() {
    return k4m::server::customerEid(kKey);
}

// Answers from a table; a URL it does not know fails like a transport error.
class ScriptedHost : public k4m::ConnectHost {
public:
    std::map<std::string, std::string> answers;
    std::vector<std::string> fetched, expected, statuses, logLines, customer;
    std::vector<k4m::RowSpec> rows;
    bool mirrorsDown = false, scanDone = false;

    std::string fetchText(const std::string& url) override {
        fetched.push_back(url);
        const auto it = answers.find(url);
        return it == answers.end() ? "ERROR: Could not resolve host" : it->second;
    }
    void expect(const std::vector<std::string>& urls) override { expected = urls; }
    void setStatus(const std::string& text) override { statuses.push_back(text); }
    void log(const std::string& line) override { logLines.push_back(line); }
    void showCustomer(const std::string& text) override { customer.push_back(text); }
    void mirrorsUnreachable() override { mirrorsDown = true; }
    void buildRow(const k4m::RowSpec& row) override { rows.push_back(row); }
    void scanCompleted() override { scanDone = true; }

    bool logged(const std::string& line) const {
        return std::find(logLines.begin(), logLines.end(), line) != logLines.end();
    }
};

const char* kCatalog = "[KD4]\nName=Kandoro 4\nStatus=OK\nManifest=M-KD4\nNew=200\n"
                       "[HIDDEN]\nName=Hidden\nEnvironment=2\nStatus=OK\nManifest=M-HIDDEN\n"
                       "[SOON]\nName=Coming soon\n"
                       "[KITS]\nName=Kits\nStatus=OK\nManifest=M-KITS\n";
// 1024 kB to download for KD4 (CORE is current), 512 kB for KITS.
const char* kManifestKD4 = "[General]\nVersion=4.1.0\n[CORE]\nVersion=7\nSize=4000\nLocation=2|core\n"
                           "[SOUNDS]\nVersion=2\nSize=1024\nIsSoundSet=1\nLocation=2|sounds\nLocation1=4|sounds\n";
const char* kManifestKITS = "[General]\nVersion=1\n[FUNK]\nVersion=1\nSize=512\nLocation=3|funk\nPID=P9\n";

class ConnectSequence : public testing::Test {
protected:
    ConnectSequence() {
        input.key = kKey;
        input.serverBase = kBase;
        input.mirrorDropbox = "https://mirror.test/dropbox";
        input.mirrorGoogleDrive = "https://mirror.test/google";
        input.mirrorMediaFire = "https://mirror.test/mediafire";
        input.profile = &profile;
        input.globalSettings = &global;
        input.packageFolderToWrite = dir / "data" / "Offline";
        input.packageFolderToRead = dir / "manager" / "Offline";
        input.decimalSeparator = ",";
        namespace s = k4m::server;
        host.answers = {
            {s::loginUrl(kBase, eid()), "OK[N=Ann Drummer][E=ann@example.com]"},
            {input.mirrorDropbox, "OK"},
            {input.mirrorGoogleDrive, "Down for maintenance"},
            {s::staticUrl(kBase, s::kHostListPath), "reaper\r\n\r\nbitwig"},
            {s::locationsUrl(kBase, eid()), "[Priority]\nMode=1\n[Locations]\n2=https://files.test/\n"
                                            "4=https://dropbox.test/s/\n"},
            {s::catalogUrl(kBase, eid()), kCatalog},
            {s::manifestUrl(kBase, eid(), "M-KD4"), kManifestKD4},
            {s::manifestUrl(kBase, eid(), "M-KITS"), kManifestKITS},
        };
    }

    ConnectResult run() { return k4m::runConnect(input, slots, host); }
    int slotsInUse() const {
        return static_cast<int>(std::count_if(slots.begin(), slots.end(), [](const auto& s) { return s.InUse; }));
    }

    k4m::test::TempDir dir;
    IniFile profile = IniFile::fromText("[Packages]\nCORE=7\n");
    IniFile global = IniFile::fromText("[Redistributable]\nActive=1\nKey=14\n");
    k4m::ConnectInput input;
    std::array<k4m::TcvDownload, 201> slots;
    ScriptedHost host;
};

TEST_F(ConnectSequence, OnlineBuildsRowsAndSlotsAndSumsUpWithTheUsersSeparator) {
    const ConnectResult result = run();
    ASSERT_EQ(result.end, ConnectResult::End::Completed);
    EXPECT_EQ(host.customer, std::vector<std::string>{"Logged in as Ann Drummer (ann@example.com)"});
    EXPECT_EQ(result.userName, "Ann Drummer");
    EXPECT_TRUE(host.logged("Server Map: 010")); // only Dropbox answered "OK"
    EXPECT_TRUE(host.logged("Server Mode: 1"));
    EXPECT_EQ(result.hostList, (std::vector<std::string>{"reaper", "bitwig"}));
    EXPECT_TRUE(result.redistributable.active);
    EXPECT_EQ(result.redistributable.key, 14);
    EXPECT_EQ(result.redistributable.parameters, "/norestart");

    // Rows for KD4, SOON and KITS; the hidden product keeps its index.
    ASSERT_EQ(host.rows.size(), 3u);
    EXPECT_EQ(host.rows[0].index, 0);
    EXPECT_EQ(host.rows[0].product.newBadge, 200);
    EXPECT_EQ(host.rows[0].actions->items, (std::vector<std::string>{"UPDATE", "SKIP"}));
    EXPECT_EQ(host.rows[1].index, 2);
    EXPECT_FALSE(host.rows[1].actions.has_value());
    EXPECT_EQ(host.rows[1].product.status, "Not available yet");
    EXPECT_EQ(host.rows[2].index, 3);
    EXPECT_EQ(host.rows[2].actions->items, (std::vector<std::string>{"INSTALL", "SKIP"}));
    EXPECT_EQ(host.rows[2].position, (std::pair<int, int>{10, 228}));

    // Only installable products with rows are asked for, in catalog order, and announced before.
    namespace s = k4m::server;
    const std::vector<std::string> manifests{s::manifestUrl(kBase, eid(), "M-KD4"),
                                             s::manifestUrl(kBase, eid(), "M-KITS")};
    EXPECT_EQ(host.expected, manifests);
    EXPECT_EQ(std::vector<std::string>(host.fetched.end() - 2, host.fetched.end()), manifests);

    EXPECT_EQ(slotsInUse(), 3);
    EXPECT_EQ(slots[1].URL, "https://dropbox.test/s/sounds"); // Dropbox preferred and reachable: no extension
    EXPECT_EQ(slots[2].URL, s::packageUrl(kBase, eid(), "P9", "funk"));
    EXPECT_EQ(result.installSize, 1536);
    EXPECT_EQ(result.summary, "New files available (1,50MB). Click [Start Install] to proceed with download and "
                              "installation.");
    EXPECT_EQ(host.statuses.back(), result.summary);
    EXPECT_TRUE(host.scanDone);
    const std::vector<std::string> tail{"Scans completed.", "Updating package states.", "Connection tasks completed.",
                                        ""};
    EXPECT_EQ(std::vector<std::string>(host.logLines.end() - 4, host.logLines.end()), tail);
    // Each product is announced, its packages prepared, and the row prepared after them.
    const auto at = [&](const std::string& text) {
        return std::find(host.statuses.begin(), host.statuses.end(), text) - host.statuses.begin();
    };
    EXPECT_LT(at("Scanning product KD4"), at("PREP-D2 SOUNDS"));
    EXPECT_LT(at("PREP-D3B SOUNDS"), at("Preparing KD4"));
    EXPECT_LT(at("Preparing KD4"), at("Scanning product HIDDEN"));
}

TEST_F(ConnectSequence, AnAnswerNotStartingWithOKIsAFailedLoginShownAsItCame) {
    const std::string login = k4m::server::loginUrl(kBase, eid());
    for (const std::string answer : {"ok[N=a][E=b]", "Your key is not valid. OK?", "ERROR: Connection refused"}) {
        SCOPED_TRACE(answer);
        host = ScriptedHost{};
        host.answers[login] = answer;
        const ConnectResult result = run();
        EXPECT_EQ(result.end, ConnectResult::End::LoginFailed);
        EXPECT_EQ(host.customer, std::vector<std::string>{answer});
        EXPECT_EQ(host.fetched, std::vector<std::string>{login});
        EXPECT_EQ(host.statuses, (std::vector<std::string>{"Verifying identity", ""}));
    }
}

TEST_F(ConnectSequence, NoMirrorAnsweringEndsTheProgramAfterTheMap) {
    host.answers.erase(input.mirrorDropbox);
    const ConnectResult result = run();
    EXPECT_EQ(result.end, ConnectResult::End::ProgramEnds);
    EXPECT_TRUE(host.mirrorsDown);
    EXPECT_EQ(host.logLines.back(), "Server Map: 000");
    EXPECT_EQ(host.fetched.back(), input.mirrorMediaFire);
    EXPECT_TRUE(host.rows.empty());
}

TEST_F(ConnectSequence, AFailingCatalogGivesNoRowsAndNothingToDo) {
    host.answers.erase(k4m::server::catalogUrl(kBase, eid()));
    const ConnectResult result = run();
    EXPECT_EQ(result.end, ConnectResult::End::Completed);
    EXPECT_TRUE(host.rows.empty());
    EXPECT_EQ(result.summary, "Your installation is up-to-date.");
}

TEST_F(ConnectSequence, OfflineModeAsksNothingAndReadsThePackageFolder) {
    input.offlineMode = true;
    k4m::test::writeFile(input.packageFolderToRead / "catalog.dat", kCatalog);
    k4m::test::writeFile(input.packageFolderToRead / "M-KD4.dat", kManifestKD4);
    // M-KITS.dat is missing: a product without packages.
    const ConnectResult result = run();
    ASSERT_EQ(result.end, ConnectResult::End::Completed);
    EXPECT_TRUE(host.fetched.empty());
    EXPECT_TRUE(host.expected.empty());
    EXPECT_EQ(host.customer, std::vector<std::string>{"Offline installation mode active"});
    EXPECT_TRUE(host.logged("Server Mode: 1")); // the start-up value
    EXPECT_TRUE(result.hostList.empty());
    EXPECT_FALSE(result.redistributable.active); // defaults: no global settings offline
    ASSERT_EQ(host.rows.size(), 3u);
    EXPECT_EQ(host.rows[2].actions->items, (std::vector<std::string>{"INSTALL", "SKIP"}));
    EXPECT_EQ(slotsInUse(), 2);
    EXPECT_EQ(slots[0].URL.find(kBase), std::string::npos); // no location is resolved offline
}

TEST_F(ConnectSequence, OfflinePackageCreationSavesKeyCatalogAndManifests) {
    input.options.createOffline = true;
    const ConnectResult result = run();
    ASSERT_EQ(result.end, ConnectResult::End::Completed);
    const fs::path folder = input.packageFolderToWrite;
    EXPECT_EQ(k4m::test::readFile(folder / "key.dat"), std::string(kKey) + "\r\n");
    EXPECT_EQ(fs::status(folder / "key.dat").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_NE(k4m::test::readFile(folder / "catalog.dat").find("[KITS]"), std::string::npos);
    EXPECT_NE(k4m::test::readFile(folder / "M-KD4.dat").find("[SOUNDS]"), std::string::npos);
    EXPECT_NE(k4m::test::readFile(folder / "M-KITS.dat").find("[FUNK]"), std::string::npos);
    EXPECT_FALSE(fs::exists(folder / "M-HIDDEN.dat"));
    for (const auto& row : host.rows) {
        if (row.actions) {
            EXPECT_EQ(row.actions->items.size(), 1u) << row.product.id;
        }
    }
}

TEST_F(ConnectSequence, ServerNamesThatCouldLeaveTheirFolderAreSkippedWithALogLine) {
    input.options.createOffline = true;
    namespace s = k4m::server;
    host.answers[s::catalogUrl(kBase, eid())] =
        "[EVIL]\nStatus=OK\nManifest=../../escape\n[KITS]\nStatus=OK\nManifest=M-KITS\n";
    host.answers[s::manifestUrl(kBase, eid(), "M-KITS")] =
        "[General]\n[..\\..\\cache]\nSize=1\nLocation=2|x\n[bad:name]\nSize=1\n[FUNK]\nSize=512\nLocation=2|funk\n";
    const ConnectResult result = run();
    ASSERT_EQ(result.end, ConnectResult::End::Completed);
    ASSERT_EQ(host.rows.size(), 1u);
    EXPECT_EQ(host.rows[0].product.id, "KITS");
    EXPECT_TRUE(host.logged("Skipping EVIL: its manifest id \"../../escape\" cannot name a file."));
    EXPECT_TRUE(host.logged("Skipping package ..\\..\\cache: its id cannot name a file."));
    EXPECT_TRUE(host.logged("Skipping package bad:name: its id cannot name a file."));
    EXPECT_EQ(slotsInUse(), 1);
    EXPECT_EQ(slots[0].dName, "FUNK");
    for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().string().find("escape"), std::string::npos) << entry.path();
}

TEST_F(ConnectSequence, TablesThatWouldOverflowKeepTheirBoundsAndSaySo) {
    namespace s = k4m::server;
    std::string catalog, manifest = "[General]\n";
    for (int i = 0; i < 25; ++i)
        catalog += "[P" + std::to_string(i) + "]\nStatus=OK\nManifest=BIG\n";
    for (int i = 0; i < 12; ++i)
        manifest += "[PKG" + std::to_string(i) + "]\nSize=1\nLocation=2|x\n";
    host.answers[s::catalogUrl(kBase, eid())] = catalog;
    host.answers[s::manifestUrl(kBase, eid(), "BIG")] = manifest;
    const ConnectResult result = run();
    ASSERT_EQ(result.end, ConnectResult::End::Completed);
    EXPECT_EQ(host.rows.size(), 21u);
    EXPECT_EQ(host.rows.back().position, (std::pair<int, int>{350, 438}));
    EXPECT_TRUE(host.logged("The catalog lists 25 products; only the first 21 are shown."));
    EXPECT_EQ(slotsInUse(), 201);
    EXPECT_TRUE(host.logged("The download table is full: packages of P16 are left out."));
    EXPECT_EQ(result.installSize, 201);
}

TEST_F(ConnectSequence, AStepThatFailsEndsTheSequenceWithItsError) {
    input.options.createOffline = true;
    k4m::test::writeFile(dir / "data", "a file where the data folder should be");
    EXPECT_THROW(run(), std::exception);
    EXPECT_TRUE(host.fetched.empty());
}

TEST_F(ConnectSequence, AnOfflinePackageIsNeverWrittenThroughASymbolicLink) {
    // A link in the package's place, or in the place of one of its files, would carry the key elsewhere.
    input.options.createOffline = true;
    const fs::path folder = input.packageFolderToWrite;
    const fs::path elsewhere = dir / "elsewhere";
    struct Case {
        const char* name;
        fs::path link; // made to point into `elsewhere`
        fs::path target;
    };
    for (const Case& c :
         {Case{"the folder", folder, elsewhere}, Case{"key.dat", folder / "key.dat", elsewhere / "key.dat"},
          Case{"catalog.dat", folder / "catalog.dat", elsewhere / "catalog.dat"}}) {
        SCOPED_TRACE(c.name);
        fs::remove_all(folder);
        fs::remove_all(elsewhere);
        fs::create_directories(elsewhere);
        fs::create_directories(folder.parent_path());
        if (c.link != folder) fs::create_directories(folder);
        if (c.target == elsewhere)
            fs::create_directory_symlink(c.target, c.link);
        else
            fs::create_symlink(c.target, c.link);
        EXPECT_THROW(run(), std::system_error);
        EXPECT_TRUE(fs::is_empty(elsewhere));
    }
}

TEST(ConnectSummary, MegabytesWithTwoDecimalsOrUpToDate) {
    struct Case {
        const char* name;
        bool work;
        int64_t kb;
        const char* separator;
        const char* expected;
    };
    const Case cases[] = {
        {"one and a half", true, 1536, ".",
         "New files available (1.50MB). Click [Start Install] to proceed with "
         "download and installation."},
        {"comma", true, 1536, ",",
         "New files available (1,50MB). Click [Start Install] to proceed with download "
         "and installation."},
        {"nothing downloaded but work", true, 0, ".",
         "New files available (0.00MB). Click [Start Install] to "
         "proceed with download and installation."},
        {"large", true, 52428800, ".",
         "New files available (51200.00MB). Click [Start Install] to proceed with "
         "download and installation."},
        {"up to date", false, 1536, ".", "Your installation is up-to-date."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(k4m::connectSummary(c.work, c.kb, c.separator), c.expected);
    }
}

} // namespace
