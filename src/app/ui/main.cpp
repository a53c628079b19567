#include "app/ui/program_entry.h"

int main(int argc, char** argv) {
    const auto platform = k4m::createPlatform();
    return k4m::runProgram(argc, argv, *platform);
}
