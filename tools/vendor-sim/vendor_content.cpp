#include "vendor_content.h"

#include "core/archive_paths.h"
#include "core/server_requests.h"
#include "core/text_util.h"

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

constexpr std::string_view kRedirect = "REDIRECT ";
constexpr std::string_view kBasePlaceholder = "{{BASE}}";
// Script answers up to this size are texts (login, locations, catalog, manifests); larger ones are packages.
constexpr std::uintmax_t kMaxTextAnswer = 1 << 20;

std::string readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string withBase(const std::string& text, const std::string& base) {
    return replaceAll(text, kBasePlaceholder, base);
}

void notFound(httplib::Response& response) {
    response.status = 404;
    response.set_content("Not Found", "text/plain");
}

// The address a redirect file ("REDIRECT " and the address) sends the client to, or nothing for any other file.
std::optional<std::string> redirectTarget(const fs::path& file, const std::string& base) {
    std::ifstream in(file, std::ios::binary);
    std::string head(kRedirect.size(), '\0');
    if (!in.read(head.data(), static_cast<std::streamsize>(head.size())) || head != kRedirect) return std::nullopt;
    std::error_code ec;
    if (fs::file_size(file, ec) > kMaxTextAnswer || ec) return std::nullopt;
    return withBase(trim(readAll(file).substr(kRedirect.size())), base);
}

// A file of the content folder: a redirect file redirects, a script answer is a text with the server's base
// filled in, anything else (and a script answer too large to be a text) is streamed as it is.
void answerFile(const fs::path& file, bool scriptAnswer, const std::string& base, const httplib::Request& request,
                httplib::Response& response) {
    if (const auto target = redirectTarget(file, base)) {
        response.status = 302;
        response.set_header("Location", *target);
        return;
    }
    std::error_code ec;
    if (scriptAnswer && fs::file_size(file, ec) <= kMaxTextAnswer && !ec) {
        response.set_content(withBase(readAll(file), base), "text/plain");
        return;
    }
    answer::file(file.string())(request, response);
}

void answerScript(const std::string& folder, const std::string& base, const httplib::Request& request,
                  httplib::Response& response) {
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
    answerFile(answer, true, base, request, response);
}

} // namespace

Handler contentFolder(const std::string& folder, const std::string& base) {
    return [folder, base](const httplib::Request& request, httplib::Response& response) {
        if (request.path == "/") {
            response.set_content("Kandoro vendor simulator", "text/plain");
            return;
        }
        if (request.path == std::string("/") + server::kScriptName + ".php") {
            answerScript(folder, base, request, response);
            return;
        }
        const auto file = fileFor(folder, request.path);
        if (!file || !fs::is_regular_file(*file)) return notFound(response);
        answerFile(*file, false, base, request, response);
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

} // namespace k4m::sim
