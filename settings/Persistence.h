// Settings that outlive a run or a gesture: the cache of the last accepted
// settings, the one-step undo history, and the commands that replace the
// settings wholesale (Clouds, Dice, Ecce), which feed the undo history too.
#pragma once

#include <cstddef>
#include <cstdint>

#include "resources/ResourceIds.h"

struct FilterContext;

// A click in the preview that moved the cloud origin: recorded for undo like
// a control (control ids are in resources/ResourceIds.h).
enum { gesturePlaceCentre = 777 };

// The path of `name` in the temporary folder.
void temporaryFilePath(const char* name, char* path, size_t size);

void loadCachedSettings(FilterContext* ctx);
void saveCachedSettings(FilterContext* ctx);

void resetUndo(FilterContext* ctx);
void pushUndo(FilterContext* ctx, bool withFile);

// After every command and every finished drag: takes the controls' values and
// records the new state for undo when the control changes settings.
void noteChange(FilterContext* ctx, int id, void* window);

// Each does nothing unless `id` is its own; `changed` tells the dialog to re-render.
void undoCommand(FilterContext* ctx, void* window, int id, uint8_t* changed);
void cloudsCommand(FilterContext* ctx, void* window, int id, uint8_t* changed);
void diceCommand(FilterContext* ctx, void* window, int id, uint8_t* changed);
void ecceCommand(FilterContext* ctx, void* window, int id, uint8_t* changed);
