// Picking a colour for a swatch: the host's colour picker when it offers
// one, otherwise the system's colour dialog.
#pragma once

#include <windows.h>

#include "settings/CloudSettings.h"

struct FilterContext;

// Asks for a new colour for swatch `id`, starting from `colour`. True, with
// `colour` replaced, when the user confirmed; the host's picker always counts
// as confirmed.
bool pickColour(FilterContext* ctx, int id, RGB48* colour);
