// Settings that outlive a run: the cache of the last accepted settings and the
// one-step undo history, both kept in the temporary folder.
#pragma once

struct FilterContext;

void loadCachedSettings(FilterContext* ctx);
void saveCachedSettings(FilterContext* ctx);
void resetUndo(FilterContext* ctx);
void pushUndo(FilterContext* ctx, bool withFile);
