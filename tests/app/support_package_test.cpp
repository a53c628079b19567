// The support archive: its entries and their order, made anew each time, what is left out, and the mail link.
#include "app/support_package.h"
#include "temp_dir.h"

#include <gtest/gtest.h>
#include <zip.h>

namespace fs = std::filesystem;
using k4m::test::readFile;
using k4m::test::writeFile;

namespace {

struct Entry {
    std::string name;
    std::string text;
    bool deflated = false;
};

std::vector<Entry> entriesOf(const std::string& archive) {
    int error = 0;
    zip_t* z = zip_open(archive.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    EXPECT_NE(z, nullptr) << archive;
    std::vector<Entry> entries;
    if (z == nullptr) return entries;
    for (zip_int64_t i = 0; i < zip_get_num_entries(z, 0); ++i) {
        zip_stat_t st;
        zip_stat_index(z, static_cast<zip_uint64_t>(i), 0, &st);
        std::string text(st.size, '\0');
        zip_file_t* f = zip_fopen_index(z, static_cast<zip_uint64_t>(i), 0);
        zip_fread(f, text.data(), st.size);
        zip_fclose(f);
        entries.push_back({st.name, text, st.comp_method == ZIP_CM_DEFLATE});
    }
    zip_close(z);
    return entries;
}

class SupportZip : public testing::Test {
protected:
    void SetUp() override {
        writeFile(installer / "installer.ini", "[General]\r\nCID=KEY\r\n");
        writeFile(product / "kandoro4.ini", "[General]\r\nGUIScale=5\r\n");
        writeFile(product / "logs/Kandoro Plugin Log.txt", "Host Path: C:\\reaper.exe\r\n");
        fs::create_directories(product / "logs/old.txt"); // a folder named like a log
        writeFile(product / "logs/crash.dmp", "binary");
    }
    k4m::test::TempDir dir;
    fs::path product = dir / "Kandoro4";
    fs::path installer = product / "Installer";
};

TEST_F(SupportZip, HoldsProfileLogPluginLogsAndSettingsInThatOrder) {
    const std::string path = k4m::buildSupportZip((installer / "installer.ini").string(), {"first", "second"},
                                                  product.string());
    EXPECT_EQ(path, (installer / "support.zip").string());
    const auto entries = entriesOf(path);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].name, "installer.ini");
    EXPECT_EQ(entries[1].name, "log.txt");
    EXPECT_EQ(entries[1].text, "first\r\nsecond\r\n");
    EXPECT_EQ(entries[2].name, "Kandoro Plugin Log.txt");
    EXPECT_EQ(entries[3].name, "kandoro4.ini");
    EXPECT_EQ(entries[3].text, "[General]\r\nGUIScale=5\r\n");
    for (const Entry& e : entries)
        EXPECT_TRUE(e.deflated) << e.name;
    EXPECT_EQ(readFile(installer / "log.bak"), "first\r\nsecond\r\n");
}

TEST_F(SupportZip, IsMadeAnewEachTimeAndLeavesOutWhatIsMissing) {
    const std::string profile = (installer / "installer.ini").string();
    k4m::buildSupportZip(profile, {"one"}, product.string());
    fs::remove(installer / "installer.ini");
    fs::remove_all(product / "logs");
    const auto entries = entriesOf(k4m::buildSupportZip(profile, {"one", "two", "three"}, product.string()));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "log.txt");
    EXPECT_EQ(entries[0].text, "one\r\ntwo\r\nthree\r\n");
    EXPECT_EQ(entries[1].name, "kandoro4.ini");
}

TEST_F(SupportZip, AnArchiveThatCannotBeMadeIsAnError) {
    fs::create_directories(installer / "support.zip/in-the-way");
    EXPECT_THROW(k4m::buildSupportZip((installer / "installer.ini").string(), {}, product.string()),
                 std::runtime_error);
    EXPECT_THROW(k4m::buildSupportZip("", {}, product.string()), std::runtime_error);
}

TEST(SupportMailLink, CarriesTheAddressAndThePreparedText) {
    EXPECT_EQ(k4m::supportMailLink("help@vendor.example"),
              "mailto:help@vendor.example?Subject=[TECH SUPPORT NEEDED]%20Corvane%20Kandoro%204&Body=<Give%20a%20brief%"
              "20description%20of%20the%20problem%20and%20make%20sure%20to%20drop%20the%20log%20files%20onto%20the%"
              "20email%20from%20the%20manager%20tool>");
    EXPECT_EQ(k4m::supportMailLink(""), "");
}

} // namespace
