#include "batch/Main.h"

#include <cstdio>

namespace trawl {

int RunTrawlkit(int argc, char** argv)
{
    (void)argc;
    (void)argv;
    std::printf("Trawlkit v2.08\n");
    return 0;
}

} // namespace trawl
