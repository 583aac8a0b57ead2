#include "settings/Persistence.h"

// The cache and undo files are not written by this build yet: nothing is
// loaded, nothing is kept.
void loadCachedSettings(FilterContext*) {}
void saveCachedSettings(FilterContext*) {}
void resetUndo(FilterContext*) {}
void pushUndo(FilterContext*, bool) {}
