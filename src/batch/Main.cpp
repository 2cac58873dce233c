#include "batch/Main.h"

#include "app/Clock.h"
#include "app/ProgramDirectory.h"
#include "batch/BatchOptions.h"
#include "batch/BatchProgram.h"
#include "batch/Console.h"
#include "batch/Demo.h"
#include "batch/Interrupt.h"
#include "net/Connector.h"

#include <csignal>
#include <iostream>
#include <memory>
#include <unistd.h>

namespace trawl {

int RunBatchFrontEnd(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    BatchOptions options = ParseBatchArguments(arguments);
    Console console(std::cout, std::cerr, ::isatty(STDERR_FILENO) != 0);

    if (options.help || (!options.Batch() && !options.demo)) {
        std::cout << UsageText();
        return kExitOk;
    }
    for (const std::string& word : options.unknownOptions) {
        console.Err("Note: the option " + word + " is not known and has no effect.");
    }

    // A reader that goes away (`trawlkit ... | head`) must not end the run before the search is saved:
    // writes to it fail quietly instead.
    std::signal(SIGPIPE, SIG_IGN);
    InterruptGuard interrupt;
    if (options.demo) {
        return RunDemo(std::move(options), console, interrupt.flag());
    }

    std::unique_ptr<SocketConnector> connector;
    if (const Status status = SocketConnector::FromEnvironment(connector); !status) {
        console.Err(status.message());
        return kExitBadConnectTo;
    }
    SystemClock clock;
    BatchProgram program{std::move(options), ProgramDirectory(), *connector, console, clock, interrupt.flag(), {}};
    return RunBatchProgram(program);
}

} // namespace trawl
