// The technical support dialog on the main window: the archive made on every opening, the mail link, the path
// for attaching by hand, and a mail button that works when no archive could be made.
#include "dialogs/ttechsupport.h"
#include "main_window_fixture.h"

#include <QLabel>
#include <QPushButton>
#include <zip.h>

namespace fs = std::filesystem;
using namespace k4m::test;
using k4m::TTechSupport;

namespace {

class TechSupportTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        std::ofstream(managerFolder / "server.ini", std::ios::app) << "Support=help@vendor.example\r\n";
        installationPresent();
        // The desktop's opener is a stand-in that records what it was asked to open.
        writeFile(root.path() / "bin/xdg-open", "#!/bin/sh\necho \"$1\" >> '" + opened.string() + "'\n");
        fs::permissions(root.path() / "bin/xdg-open", fs::perms(0755));
    }
    void TearDown() override { stopAllModalWatchers(); }

    fs::path opened = root.path() / "opened.txt";
    ScopedEnv path{"PATH", (root.path() / "bin").string() + ":" + std::getenv("PATH")};

    // Opens the dialog, lets `look` see it, then clicks Done.
    void openDialog(k4m::TformD& w, std::function<void(TTechSupport&)> look) {
        const auto seen = answerNextModalWhere([](QWidget* d) { return qobject_cast<TTechSupport*>(d) != nullptr; },
                                               [look](QWidget* d) {
                                                   auto& dialog = *static_cast<TTechSupport*>(d);
                                                   look(dialog);
                                                   QTest::mouseClick(dialog.Button2, Qt::LeftButton);
                                               });
        QTest::mouseClick(w.btechSupport, Qt::LeftButton);
        ASSERT_TRUE(seen->seen);
        EXPECT_EQ(seen->title, "Request Technical Support");
    }
    static std::string logEntryOf(const std::string& archive) {
        int error = 0;
        zip_t* z = zip_open(archive.c_str(), ZIP_RDONLY, &error);
        if (z == nullptr) return "<no archive>";
        zip_stat_t st;
        std::string text = "<no log>";
        if (zip_stat(z, "log.txt", 0, &st) == 0) {
            text.assign(st.size, '\0');
            zip_file_t* f = zip_fopen(z, "log.txt", 0);
            zip_fread(f, text.data(), st.size);
            zip_fclose(f);
        }
        zip_close(z);
        return text;
    }
};

TEST_F(TechSupportTest, EachOpeningMakesTheArchiveAnewAndTheMailButtonOpensThePreparedMail) {
    auto& w = start();
    std::string first;
    openDialog(w, [&](TTechSupport& d) {
        EXPECT_EQ(d.size(), QSize(441, 245));
        EXPECT_EQ(d.LogZip, (installer() / "support.zip").string());
        EXPECT_EQ(d.Label2->text().toStdString(), "Alternatively, you can also attach this file manually:\r\n" +
                                                      (installer() / "support.zip").string());
        d.grab().save(QStringLiteral(K4M_SCREENSHOT_DIR "/tech_support_dialog.png"));
        first = logEntryOf(d.LogZip);
        QTest::mouseClick(d.Button1, Qt::LeftButton);
    });
    EXPECT_NE(first.find("Initialization complete\r\n"), std::string::npos);
    ASSERT_EQ(platform.launched.size(), 1u);
    EXPECT_EQ(platform.launched[0].target.rfind("mailto:help@vendor.example?Subject=[TECH SUPPORT NEEDED]", 0), 0u);
    EXPECT_EQ(platform.launched[0].flags, 0);
    ASSERT_TRUE(waitUntil([&] { return fs::exists(opened) && fs::file_size(opened) > 0; }));
    EXPECT_EQ(readFile(opened), platform.launched[0].target + "\n");

    w.log.write("a line written after the first opening");
    openDialog(w, [&](TTechSupport& d) {
        const std::string second = logEntryOf(d.LogZip);
        EXPECT_GT(second.size(), first.size());
        EXPECT_NE(second.find("a line written after the first opening\r\n"), std::string::npos);
    });
}

TEST_F(TechSupportTest, WithoutAnArchiveTheMailButtonStillWorks) {
    fs::create_directories(installer() / "support.zip/in-the-way");
    auto& w = start();
    openDialog(w, [&](TTechSupport& d) {
        EXPECT_EQ(d.LogZip, "");
        QTest::mouseClick(d.Button1, Qt::LeftButton);
    });
    EXPECT_EQ(platform.launched.size(), 1u);
}

} // namespace
