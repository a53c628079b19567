#include "core/server_requests.h"

#include "core/text_util.h"

namespace k4m {

namespace server {

std::string customerEid(std::string_view customerKey) {
    return kEidPrefix + trim(customerKey);
}

std::string scriptUrl(std::string_view base, int command, std::string_view eid, std::string_view extra) {
    std::string url(base);
    url += "/";
    url += kScriptName;
    url += ".php?COM=" + std::to_string(command) + "&EID=";
    url += eid;
    url += extra;
    return url;
}

std::string loginUrl(std::string_view base, std::string_view eid) {
    return scriptUrl(base, 1, eid);
}
std::string locationsUrl(std::string_view base, std::string_view eid) {
    return scriptUrl(base, 3, eid);
}
std::string catalogUrl(std::string_view base, std::string_view eid) {
    return scriptUrl(base, 10, eid);
}

std::string manifestUrl(std::string_view base, std::string_view eid, std::string_view mid) {
    return scriptUrl(base, 11, eid, "&MID=" + std::string(mid));
}

std::string packageUrl(std::string_view base, std::string_view eid, std::string_view pid, std::string_view did) {
    return scriptUrl(base, 13, eid, "&PID=" + std::string(pid) + "&DID=" + std::string(did));
}

std::string staticUrl(std::string_view base, std::string_view path) {
    return std::string(base) + std::string(path);
}

} // namespace server

std::string TagValue(std::string_view tag, std::string_view answer) {
    const std::string opening = "[" + std::string(tag) + "=";
    const size_t start = answer.find(opening);
    if (start == std::string_view::npos) return {};
    const std::string_view rest = answer.substr(start + opening.size());
    const size_t close = rest.find(']');
    if (close == std::string_view::npos) return {};
    return std::string(rest.substr(0, close));
}

std::string httpsOnly(std::string_view url) {
    return replaceAll(url, "http://", "https://");
}

} // namespace k4m
