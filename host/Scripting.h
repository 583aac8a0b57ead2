// Actions and Smart Filters: the recorded step a host plays back at Start
// (read key by key over the current settings) and the step the plug-in
// records at Finish after a successful apply, through the host's descriptor
// procedures. A host without them (no descriptor parameters, null tables,
// no handle suite) changes nothing here.
#pragma once

#include "host/Context.h"

// What a host's step asked for at Start.
enum ScriptPlay {
    scriptAbsent,      // no recorded step: the dialog as the settings say
    scriptShowDialog,  // the dialog, starting from the step's values
    scriptApply,       // no dialog: apply the step's values
    scriptFail,        // a silent step that cannot be applied: the error is set
};

// Reads the host's recorded step, if any, into the settings (missing keys
// keep their values, values are pinned to their ranges, unknown keys are
// skipped), gives the host's descriptor back (disposed once), and says what
// to do. On scriptFail the result word and the host's error string say why.
ScriptPlay playRecordedStep(FilterContext* ctx);

// Writes a complete step of the current settings for the host to record;
// nothing when the host cannot take one.
void recordStep(FilterContext* ctx);
