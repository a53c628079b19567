#include "core/ignored_failure.h"

#include <cstdio>

namespace k4m {

void reportIgnoredFailure(const char* step, const std::string& message) {
    std::fprintf(stderr, "Kandoro4Manager: %s failed, going on: %s\n", step, message.c_str());
}

} // namespace k4m
