// lumctl: every controller operation from a shell. See `lumctl --help`.
//
// Standard output goes through a checked buffer: a failed write (a full disk, /dev/full)
// ends the program with a message and exit code 1; a reader that has gone (`| head -1`)
// ends it quietly, as a closed pipe ends any shell command.
#include <iostream>

#include "cli/Errors.h"
#include "cli/Lumctl.h"
#include "cli/Output.h"
#include "cli/Platform.h"

int main(int argc, char** argv) {
    using namespace lum::cli;
    InstallInterruptHandler();
    PrepareConsole();
    std::vector<std::string> args = Utf8Arguments(argc, argv);
    std::vector<const char*> pointers;
    for (const auto& a : args) pointers.push_back(a.c_str());
    pointers.push_back(nullptr);

    int code;
    StdoutBuffer buffer;
    {
        std::ostream out(&buffer);
        code = RunLumctl(static_cast<int>(args.size()), pointers.data(), out, std::cerr);
        out.flush();
    }
    if (buffer.ClosedPipe() || code == ExitClosedPipe) EndForClosedPipe();
    if (buffer.Failed()) {
        std::cerr << "lumctl: не удалось вывести результат (стандартный вывод): " << buffer.Reason() << "\n";
        return ExitNoController;
    }
    return code;
}
