// nimbulo bench: the filter's speed through its entry point, for the
// default look and the heaviest one (or the looks of presets files), with one
// thread and with all, with clear sky skipped and with every pixel modelled,
// on a quiet machine and with busy loops competing for the processors, and
// the process's peak memory.
#pragma once

#include <string>

// Renders width x height; `threads` 0 means every processor; `presetPath`,
// when not empty, the looks to time: presets files separated by commas, and
// "defaults" for the default look; `wrap`, when a WrapMode, times each look
// with every wrap mode up to it (off, left to right, both ways) in turn.
// Returns an exit code.
int runBench(const std::string& pluginPath, const std::string& presetPath, int width, int height, int threads,
             int wrap);
