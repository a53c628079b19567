#include "core/log.h"
#include "core/status_line.h"
#include "core/text_file.h"
#include "temp_dir.h"

#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

using k4m::test::readFile;

namespace {

TEST(Log, EachRunReplacesTheFileAndEveryLineEndsWithCrLf) {
    k4m::test::TempDir dir;
    const auto path = dir / "log.txt";
    {
        k4m::Log log;
        log.open(path);
        log.write("[CORVANE-K4M 1.2.6] [20190929-1]");
        log.write("first run");
    }
    k4m::Log log;
    log.open(path);
    log.write("[CORVANE-K4M 1.2.6] [20190929-1]");
    log.write("");
    log.write("Umlaut \xC3\xA4");
    // On disk at once, before the log is closed.
    EXPECT_EQ(readFile(path), "[CORVANE-K4M 1.2.6] [20190929-1]\r\n\r\nUmlaut \xC3\xA4\r\n");
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"[CORVANE-K4M 1.2.6] [20190929-1]", "", "Umlaut \xC3\xA4"}));
}

TEST(Log, WritingToALogThatIsNotOpenFailsAndKeepsNoLine) {
    k4m::test::TempDir dir;
    k4m::Log log;
    log.open(dir / "no-such-folder" / "log.txt");
    EXPECT_FALSE(log.isOpen());
    EXPECT_THROW(log.write("lost"), k4m::LogError);
    EXPECT_TRUE(log.lines().empty());

    log.open(dir / "log.txt");
    log.write("kept");
    log.close();
    EXPECT_THROW(log.write("after closing"), k4m::LogError);
    EXPECT_EQ(readFile(dir / "log.txt"), "kept\r\n");
    EXPECT_EQ(log.lines().size(), 1u);
}

struct PlantedCase {
    const char* name;
    std::function<void(const std::filesystem::path& log, const std::filesystem::path& victim)> plant;
};

class PlantedLog : public testing::TestWithParam<PlantedCase> {};

// Something other than a file of our own lies where the log goes: it is left exactly as it is and the run goes
// on without a log file.
TEST_P(PlantedLog, IsNeitherWrittenThroughNorReplaced) {
    namespace fs = std::filesystem;
    k4m::test::TempDir dir;
    const fs::path victim = dir / "private.txt";
    k4m::test::writeFile(victim, "the user's own words\n");
    const fs::path path = dir / "log.txt";
    GetParam().plant(path, victim);
    const fs::file_type before = fs::symlink_status(path).type();

    k4m::Log log;
    log.open(path);
    EXPECT_FALSE(log.isOpen());
    EXPECT_THROW(log.write("[CORVANE-K4M 1.2.6] [20190929-1]"), k4m::LogError);
    EXPECT_EQ(fs::symlink_status(path).type(), before);
    EXPECT_EQ(readFile(victim), "the user's own words\n");
}

INSTANTIATE_TEST_SUITE_P(Plants, PlantedLog,
                         testing::Values(PlantedCase{"SymbolicLink",
                                                     [](const auto& log, const auto& victim) {
                                                         std::filesystem::create_symlink(victim, log);
                                                     }},
                                         PlantedCase{"DanglingLink",
                                                     [](const auto& log, const auto& victim) {
                                                         std::filesystem::create_symlink(victim.string() + ".new", log);
                                                     }},
                                         // A pipe nobody reads would block the start for ever.
                                         PlantedCase{"Pipe",
                                                     [](const auto& log, const auto&) {
                                                         ASSERT_EQ(::mkfifo(log.c_str(), 0600), 0);
                                                     }}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Log, TwoThreadsNeverMixLinesAndFileAndListAgree) {
    k4m::test::TempDir dir;
    k4m::Log log;
    log.open(dir / "log.txt");
    auto writer = [&log](char tag) {
        for (int i = 0; i < 2000; ++i)
            log.write(std::string(40, tag) + " " + std::to_string(i));
    };
    std::thread a(writer, 'a');
    std::thread b(writer, 'b');
    a.join();
    b.join();
    const auto fileLines = k4m::splitLines(readFile(dir / "log.txt"));
    const auto listLines = log.lines();
    ASSERT_EQ(fileLines.size(), 4000u);
    EXPECT_EQ(fileLines, listLines);
    int lastA = -1;
    int lastB = -1;
    for (const auto& line : fileLines) {
        ASSERT_EQ(line.size() > 41, true) << line;
        const char tag = line[0];
        ASSERT_EQ(line.substr(0, 40), std::string(40, tag)) << line;
        const int number = std::stoi(line.substr(41));
        int& last = tag == 'a' ? lastA : lastB;
        EXPECT_EQ(number, last + 1);
        last = number;
    }
}

TEST(StatusLine, OverrideTextHidesTheProgressUntilCleared) {
    EXPECT_EQ(k4m::statusLineText("Downloading Kit 12%", ""), "Downloading Kit 12%");
    EXPECT_EQ(k4m::statusLineText("Downloading Kit 12%", "Downloading redist"), "Downloading redist");
}

} // namespace
