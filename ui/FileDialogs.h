// The Load and Save buttons: the system's open and save dialogs for presets
// files, the open dialog's thumbnail panel, and the commands around them.
#pragma once

#include <windows.h>

#include <cstdint>

struct FilterContext;

// IDC_SAVE and IDC_LOAD; other ids are ignored. A Load that read a file
// shows its settings and sets `changed`. A file that cannot be written or
// read is named in a message and changes nothing; loadCommand then answers
// false, so that the dialog records no undo step for it.
void saveCommand(FilterContext* ctx, HWND dialog, int id, uint8_t* changed);
bool loadCommand(FilterContext* ctx, HWND dialog, int id, uint8_t* changed);

// The system dialogs. `path` (260 bytes) receives the chosen file; `name`
// holds the proposed name (save) and `folder` the initial folder. Non-zero
// when a file was chosen; a request while a file dialog is open is cancelled.
int showSaveDialog(char* path, const char* name, const char* folder, FilterContext* ctx, HWND owner);
int showOpenDialog(char* path, const char* folder, FilterContext* ctx, HWND owner);
