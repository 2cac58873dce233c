#include "batch/Main.h"

int main(int argc, char** argv)
{
    return trawl::RunTrawlkit(argc, argv);
}
