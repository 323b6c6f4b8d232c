// The benchmarks' main: optionally moves the whole process into a network
// namespace of its own holding a chosen number of interfaces first:
//   velumin_benchmarks [--interfaces=N] [benchmark flags]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/private_network_linux.h"

namespace {

// A fresh namespace for the whole process: loopback plus count - 1 ifb devices.
bool EnterNamespaceWithInterfaces(int count) {
    if (const std::string failure = testsupport::EnterPrivateNetwork(); !failure.empty()) {
        std::fprintf(stderr, "%s\n", failure.c_str());
        return false;
    }
    for (int i = 1; i < count; ++i) {
        const std::string command = "ip link add bench" + std::to_string(i) + " type ifb";
        if (std::system(command.c_str()) != 0) {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--interfaces=", 13) == 0) {
            if (!EnterNamespaceWithInterfaces(std::atoi(argv[i] + 13))) {
                return 1;
            }
            argv[i] = argv[--argc];
            break;
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
