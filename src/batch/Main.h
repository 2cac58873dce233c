#pragma once

namespace trawl {

// The program without its window: the batch runs of -csv, -html and -deep, the demo where there is no
// display, and the usage text otherwise.
int RunBatchFrontEnd(int argc, char** argv);

} // namespace trawl
