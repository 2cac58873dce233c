#include "batch/Main.h"

#include "batch/BatchOptions.h"
#include "ui/WindowProgram.h"

#include <string>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

int main(int argc, char** argv)
{
#if defined(__GLIBC__)
    // Responses and ad pages are megabytes that live for one exchange. glibc raises its mmap
    // threshold to the largest block ever freed, after which such blocks come from the heap and
    // their pages stay with the process once freed; a fixed threshold hands them back at once.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const trawl::BatchOptions options = trawl::ParseBatchArguments(arguments);
    if (trawl::WantsWindow(options, trawl::DisplayAvailable())) {
        return trawl::ui::RunWindowProgram(argc, argv, options);
    }
    return trawl::RunBatchFrontEnd(argc, argv);
}
