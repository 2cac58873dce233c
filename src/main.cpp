#include "batch/Main.h"

#include "batch/BatchOptions.h"
#include "ui/WindowProgram.h"

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const trawl::BatchOptions options = trawl::ParseBatchArguments(arguments);
    if (trawl::WantsWindow(options, trawl::DisplayAvailable())) {
        return trawl::ui::RunWindowProgram(argc, argv, options);
    }
    return trawl::RunBatchFrontEnd(argc, argv);
}
