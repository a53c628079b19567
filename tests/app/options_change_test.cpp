// What a changed configuration sets off: the delete mode's markers and the reinstall check.
#include "app/options_change.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using k4m::OptionsEntries;
using k4m::test::TempDir;
using k4m::test::writeFile;

namespace {

struct Folders {
    TempDir dir;
    fs::path vst64 = dir / "VST64";
    fs::path vst32 = dir / "VST32";
    fs::path aax = dir / "AAX";

    Folders() {
        fs::create_directories(vst64);
        fs::create_directories(vst32);
        fs::create_directories(aax);
    }
    void binaries(bool in64, bool in32, bool inAax) const {
        if (in64) writeFile(vst64 / "kandoro4.dll", "64");
        if (in32) writeFile(vst32 / "kandoro4.dll", "32");
        if (inAax) fs::create_directories(aax / "Kandoro4.aaxplugin/Contents");
    }
};

OptionsEntries formats(bool vst64, bool vst32, bool aax) {
    OptionsEntries e;
    e.vst64 = vst64;
    e.vst32 = vst32;
    e.aax = aax;
    return e;
}

TEST(RemovalMarkers, OneMarkerPerSwitchedOffFormatWhoseBinaryIsThereInFixedOrder) {
    struct Case {
        bool on64, on32, onAax;    // formats now chosen
        bool in64, in32, inAax;    // binaries in the old places
        const char* markers;
    };
    const Case cases[] = {
        {false, true, true, true, true, true, "[6]"},
        {false, true, false, true, true, false, "[6]"}, // AAX off but not installed
        {false, false, false, true, true, true, "[6][3][A]"},
        {false, false, false, false, false, false, ""},
        {true, true, true, true, true, true, ""},
        {true, false, false, true, true, true, "[3][A]"},
        {false, true, false, false, true, true, "[A]"},
        {false, false, true, true, false, true, "[6]"},
    };
    for (const Case& c : cases) {
        Folders f;
        f.binaries(c.in64, c.in32, c.inAax);
        EXPECT_EQ(k4m::removalMarkers(formats(c.on64, c.on32, c.onAax), f.vst64.string(), f.vst32.string(),
                                      f.aax.string()),
                  c.markers)
            << c.on64 << c.on32 << c.onAax << " / " << c.in64 << c.in32 << c.inAax;
    }
}

TEST(RemovalMarkers, AFileNamedLikeTheBundleOrAnUnknownFolderMarksNothing) {
    Folders f;
    writeFile(f.aax / "Kandoro4.aaxplugin", "not a bundle");
    EXPECT_EQ(k4m::removalMarkers(formats(false, false, false), "", "", f.aax.string()), "");
}

TEST(ReinstallNeeded, AChosenFormatWithoutItsBinaryOrTheFullLibraryAfterAIOnly) {
    struct Case {
        bool on64, on32, onAax;
        bool in64, in32, inAax;
        bool oldAIOnly, aiOnly, offline;
        bool needed;
    };
    const Case cases[] = {
        {true, true, true, true, true, true, false, false, false, false}, // everything in place
        {true, false, false, true, false, false, false, false, false, false},
        {true, false, false, false, false, false, false, false, false, true},  // 64-bit chosen, not there
        {false, true, false, false, false, false, false, false, false, true},  // 32-bit chosen, not there
        {false, false, true, false, false, false, false, false, false, true},  // AAX chosen, not there
        {true, false, false, true, false, false, true, false, false, true},    // AI-only unchecked
        {true, false, false, true, false, false, false, true, false, false},   // AI-only checked
        {true, false, false, true, false, false, true, true, false, false},    // AI-only kept
        {true, true, true, false, false, false, true, false, true, false},     // creating offline packages
    };
    for (const Case& c : cases) {
        Folders f;
        f.binaries(c.in64, c.in32, c.inAax);
        OptionsEntries e = formats(c.on64, c.on32, c.onAax);
        e.aiOnly = c.aiOnly;
        e.createOffline = c.offline;
        EXPECT_EQ(k4m::reinstallNeeded(e, f.vst64.string(), f.vst32.string(), f.aax.string(), c.oldAIOnly), c.needed)
            << c.on64 << c.on32 << c.onAax << " / " << c.in64 << c.in32 << c.inAax << " ai " << c.oldAIOnly
            << c.aiOnly << " offline " << c.offline;
    }
}

TEST(OptionsChangeTexts, CopyProgressAndTheMessageAfterTheCopy) {
    EXPECT_EQ(k4m::dataCopyStatusText(3, 10, 1536 * 1024, 4 * 1024 * 1024),
              "Copying the data folder: 3 of 10 files, 1.5 MB of 4.0 MB");
    // A file that grew while it was copied never shows more done than there is.
    EXPECT_EQ(k4m::dataCopyStatusText(10, 10, 5000, 4096), "Copying the data folder: 10 of 10 files, 4 KB of 4 KB");
    EXPECT_EQ(k4m::dataCopiedMessage("/home/u/Kandoro"),
              "The data folder has been copied to the new location. After closing this tool, feel free to delete "
              "the old folder [/home/u/Kandoro]");
}

} // namespace
