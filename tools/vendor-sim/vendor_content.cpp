#include "vendor_content.h"

#include "core/archive_paths.h"
#include "core/server_requests.h"
#include "core/text_util.h"
#include "core/version.h"

#include <filesystem>
#include <fstream>
#include <httplib.h>
#include <iterator>
#include <optional>
#include <stdexcept>

namespace k4m::sim {

namespace fs = std::filesystem;

namespace {

// The file a server path names inside `folder`, or nothing when the path could leave it.
std::optional<fs::path> fileFor(const std::string& folder, const std::string& path) {
    try {
        fs::path file = folder;
        for (const auto& part : archiveEntryComponents(path.substr(path.find_first_not_of('/'))))
            file /= part;
        return file;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::string readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void notFound(httplib::Response& response) {
    response.status = 404;
    response.set_content("Not Found", "text/plain");
}

void answerScript(const std::string& folder, const httplib::Request& request, httplib::Response& response) {
    const std::string command = request.get_param_value("COM");
    std::string key = request.get_param_value("EID");
    if (command == "11") key = request.get_param_value("MID");
    if (command == "13") key = request.get_param_value("DID");
    const fs::path commandFolder = fs::path(folder) / "kd4_main" / ("COM" + command);
    fs::path answer = commandFolder / "default";
    if (const auto specific = fileFor(commandFolder.string(), "/" + key);
        !key.empty() && specific && fs::is_regular_file(*specific))
        answer = *specific;
    if (command.empty() || command.find_first_not_of("0123456789") != std::string::npos ||
        !fs::is_regular_file(answer)) {
        // What the vendor's script answers to a request it cannot serve.
        response.set_content("ERROR: unknown request", "text/plain");
        return;
    }
    const std::string text = readAll(answer);
    if (text.rfind("REDIRECT ", 0) == 0) {
        response.status = 302;
        response.set_header("Location", trim(text.substr(9)));
        return;
    }
    answer::file(answer.string())(request, response);
}

void write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
}

} // namespace

Handler contentFolder(const std::string& folder) {
    return [folder](const httplib::Request& request, httplib::Response& response) {
        if (request.path == "/") {
            response.set_content("Kandoro vendor simulator", "text/plain");
            return;
        }
        if (request.path == std::string("/") + server::kScriptName + ".php") {
            answerScript(folder, request, response);
            return;
        }
        const auto file = fileFor(folder, request.path);
        if (!file || !fs::is_regular_file(*file)) return notFound(response);
        answer::file(file->string())(request, response);
    };
}

Handler faultHandler(const HttpsServer& server, const std::string& knob, const std::string& contentFile) {
    const size_t colon = knob.find(':');
    const std::string kind = knob.substr(0, colon);
    const std::string argument = colon == std::string::npos ? std::string() : knob.substr(colon + 1);
    auto number = [&] {
        if (argument.empty() || argument.find_first_not_of("0123456789") != std::string::npos)
            throw std::invalid_argument("fault " + knob + " needs a number");
        return std::stoull(argument);
    };
    std::error_code ec;
    const uint64_t size = contentFile.empty() ? 0 : fs::file_size(contentFile, ec);
    const uint64_t announced = ec || size == 0 ? 1'000'000 : size;
    if (kind == "status") return answer::body("fault " + argument, static_cast<int>(number()));
    if (kind == "cut") return answer::cutAfter(number(), announced);
    if (kind == "stall") return answer::stallAfter(server, number(), announced);
    if (kind == "drip") {
        const std::chrono::milliseconds every(number());
        std::string body;
        if (!ec && size != 0)
            body = readAll(contentFile);
        else
            for (uint64_t i = 0; i < announced; ++i)
                body += generatedByte(i);
        return answer::drip(server, std::move(body), every);
    }
    if (kind == "nolength") return answer::bodyWithoutLength(ec ? std::string() : readAll(contentFile));
    if (kind == "redirect" && !argument.empty()) return answer::redirect(argument);
    throw std::invalid_argument("unknown fault " + knob);
}

void makeDemoContent(const std::string& folder) {
    const fs::path files = fs::path(folder) / server::kManagerFilesDir;
    // The demo serves the manager's own version, so no update is offered.
    write(files / "km4.ver", std::string(kManagerVersion) + "\r\n");
    write(files / "status4.txt", "OK\r\n");
    write(files / "promotion.txt", "New: the Latin Percussion kit for Kandoro 4\r\n");
    write(files / "km4.ini", "[General]\r\nHomeScreen=0\r\n\r\n[Redistributable]\r\nActive=0\r\nKey=10\r\n"
                             "Parameters=/norestart\r\n");
    write(files / "install.txt", "Welcome to Kandoro 4!\r\n\r\nPaste the customer key from your delivery e-mail "
                                 "into the box and click Connect to see your products.\r\n");
    write(files / "messages.txt", "No new messages.\r\n");
    write(files / "daw.txt", "ableton\r\nbitwig\r\ncubase\r\nreaper\r\nardour\r\nstudio one\r\n");
    write(files / "kd4license.rtf", "{\\rtf1\\ansi Kandoro 4 demo licence agreement.\\par}\r\n");
    write(fs::path(folder) / "kd4_main" / "COM1" / "default", "OK[N=Demo Customer][E=demo.customer@example.com]\r\n");
    for (const char* mirror : {"dropbox", "googledrive", "mediafire"})
        write(fs::path(folder) / "mirrors" / mirror / "server_status.txt", "OK\r\n");
}

} // namespace k4m::sim
