// nimbulo render: clouds over one image, a batch of them, or a new sky.
#pragma once

#include "cli/Options.h"

// Runs the render `job` asks for; an exit code.
int renderCommand(const RenderJob& job);
