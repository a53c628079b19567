// A child for the Windows platform tests: sleeps, or holds the instance lock, for a minute; or writes the
// arguments the system's parser finds on its command line into a file ("args FILE ARGUMENT..."), each ended
// by a zero byte. With K4M_HELPER_MARK set it first creates the file that names.
#include "platform/platform.h"
#include "platform/win/wide_text.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

int main(int argc, char** argv) {
    // A copy started under another name leaves a mark where the test asks for one.
    if (const char* mark = std::getenv("K4M_HELPER_MARK")) std::ofstream(std::filesystem::path(mark)) << argc;
    if (argc >= 3 && std::strcmp(argv[1], "lock") == 0) {
        auto platform = k4m::createPlatform();
        const auto lock = platform->acquireInstanceLock(argv[2], "");
        if (!lock) return 3;
        ::Sleep(60000);
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "args") == 0) {
        int count = 0;
        wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
        if (arguments == nullptr || count < 3) return 4;
        std::string text;
        for (int i = 3; i < count; ++i) text += k4m::win::narrow(arguments[i]) + '\0';
        // Written whole under another name first, so that the test never reads half of it.
        const std::wstring file = arguments[2];
        std::ofstream(std::filesystem::path(file + L".part"), std::ios::binary) << text;
        ::MoveFileW((file + L".part").c_str(), file.c_str());
        ::LocalFree(arguments);
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "exit") == 0) return argc >= 3 ? std::atoi(argv[2]) : 0;
    ::Sleep(60000);
    return 0;
}
