// The dialog's controls keep their values in tables indexed by control id;
// this binds those tables to the settings, in both directions.
#pragma once

#include "host/HostAbi.h"
#include "settings/CloudSettings.h"
#include "ui/ControlTable.h"

extern int32 controlValue[controlCount];      // slider positions, toggle states
extern RGB48 controlColour[controlCount];     // colour swatches
extern float controlVector[controlCount][3];  // the direction pad
extern int32 controlLow[controlCount];        // slider ranges, filled when the dialog opens
extern int32 controlHigh[controlCount];

// Every bound field into its control. Swatches and the pad repaint.
void settingsToControls(void* window, FilterContext* ctx);

// Every bound control into its field.
void controlsToSettings(void* window, FilterContext* ctx);

// The Auto preview box into its field; true when it is ticked.
bool readAutoPreview(void* window, FilterContext* ctx);
