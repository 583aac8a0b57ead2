// nimbulo bench: the filter's speed through its entry point, for the
// default look and the heaviest one, with one thread and with all, on a quiet
// machine and with busy loops competing for the processors, and the
// process's peak memory.
#pragma once

#include <string>

// Renders width x height; `threads` 0 means every processor. Returns an exit code.
int runBench(const std::string& pluginPath, int width, int height, int threads);
