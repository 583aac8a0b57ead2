// Settings that outlive a run or a gesture: the cache of the last accepted
// settings, the one-step undo history, and the commands that replace the
// settings wholesale (Clouds, Dice, Ecce), which feed the undo history too.
#pragma once

#include <cstddef>
#include <cstdint>

struct FilterContext;

// Command and control ids the history knows.
enum {
    commandCancel = 2,
    commandOk = 3,
    commandClouds = 17,
    commandSave = 26,
    controlAutoPreview = 30,
    commandZoomIn = 32,
    commandZoomOut = 33,
    commandZoomReadout = 34,
    commandLoad = 35,
    commandDice = 72,
    commandUndo = 74,
    commandEcce = 75,
    controlNameStrip = 76,
    gesturePlaceCentre = 777,  // a click in the preview that moved the cloud origin
};

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
