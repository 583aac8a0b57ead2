// The command-line host: it owns the image, lends the plug-in handles and
// buffers, delivers rows through advanceState and drives a whole filter run
// through the entry point, as an image editor does.
#pragma once

#include <functional>
#include <vector>

#include "cli/HostImage.h"
#include "host/HostAbi.h"
#include "settings/CloudSettings.h"

struct RunRequest {
    HostImage image;             // painted in place
    const HostImage* selection;  // null: no selection
    VRect filterRect;
    bool editableTransparency;                   // the last plane is the layer's transparency
    std::function<void(CloudSettings*)> settle;  // sets the settings before Start
    std::function<void(int32 done, int32 total)> progress;
    std::function<bool()> stopRequested;
};

// runFilter's outcome (a code of this host's, not the plug-in's) when the
// picture is larger than 32767 a side and the plug-in does not take the
// 32-bit coordinates that hold it.
enum : OSErr { pluginTooSmallForDocument = -30999 };

// Runs Prepare, Start, Continue until the plug-in is done, then Finish.
// Returns the plug-in's result code.
OSErr runFilter(PluginEntryProc entry, const RunRequest& request);
