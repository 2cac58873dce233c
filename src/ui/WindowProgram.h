#pragma once

#include "batch/BatchOptions.h"

namespace trawl::ui {

// The program with its window: start-up (lists, settings, the one-copy rule, the first-run setup,
// the start-menu offer), the window until it is closed, then shutdown. With `options.demo` the
// sample sites run inside the process and the demo folder is the program folder.
int RunWindowProgram(int argc, char** argv, const BatchOptions& options);

} // namespace trawl::ui
