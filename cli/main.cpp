// lumctl: every controller operation from a shell. See `lumctl --help`.
#include <iostream>

#include "cli/Lumctl.h"
#include "cli/Platform.h"

int main(int argc, char** argv) {
    lum::cli::InstallInterruptHandler();
    return lum::cli::RunLumctl(argc, argv, std::cout, std::cerr);
}
