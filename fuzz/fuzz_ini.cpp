// Any bytes as an INI file: parsing never fails, and what the manager writes back reads the same.
#include "core/ini_file.h"
#include "core/text_decoding.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = k4m::decodeText(std::string(reinterpret_cast<const char*>(data), size));
    k4m::IniFile ini = k4m::IniFile::fromText(text);
    // A write of a value with line breaks must not add keys or sections.
    ini.writeString("General", "Probe", "a\r\n[Injected]\nx=1");
    const k4m::IniFile reread = k4m::IniFile::fromText(ini.toText());
    if (reread.sectionExists("Injected") && !ini.sectionExists("Injected")) std::abort();
    for (const char* section : {"General", "Packages", "Edition"}) {
        for (const std::string& key : ini.sectionKeys(section)) {
            if (ini.value(section, key) != reread.value(section, key)) std::abort();
        }
    }
    return 0;
}
