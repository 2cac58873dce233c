#pragma once

namespace trawl {

// The program: picks the batch front end or the window from the command line.
int RunTrawlkit(int argc, char** argv);

} // namespace trawl
