// One writer process of the two-process log test: appends numbered lines to the shared
// "session.log" through the library's front functions on its own simulated machine,
// moving its clock so that its size check comes due during the run.
//   reliability_log_appender <file root> <writer number> <lines> <ms per line> <size limit>
#include "sweep_machine.h"

#include <ssolog/trace.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: %s root writer lines ms-per-line size-limit\n", argv[0]);
        return 2;
    }
    const std::string root = argv[1];
    const int writer = std::atoi(argv[2]);
    const int lines = std::atoi(argv[3]);
    const unsigned long msPerLine = std::strtoul(argv[4], nullptr, 10);
    const DWORD sizeLimit = static_cast<DWORD>(std::strtoul(argv[5], nullptr, 10));

    reliability::PrepareMachine(reliability::Product::Plain, root);
    winsim::SetCurrentProcessId(static_cast<DWORD>(20000 + writer));
    winsim::SetDword(HKEY_LOCAL_MACHINE, reliability::kLogKey, L"OutputLogSize", sizeLimit);
    reliability::AttachedLibrary library;
    const std::wstring tag = L"P" + std::to_wstring(writer);
    for (int n = 0; n < lines; ++n) {
        winsim::AdvanceMs(msPerLine);
        ssolog::TraceNumber(tag.c_str(), n);
    }
    return 0;
}
