#include "host/Capabilities.h"

#include "host/Modes.h"

bool canAdvance(const FilterRecord* record) { return record->advanceState != nullptr; }

bool canDisplay(const FilterRecord* record)
{
    return record->advanceState != nullptr && record->displayPixels != nullptr;
}

bool canSample(const FilterRecord* record) { return canDisplay(record) && record->samplingSupport != 0; }

bool handleSuiteUsable(const FilterRecord* record)
{
    const HandleProcs* procs = record->handleProcs;
    return procs != nullptr && procs->handleProcsVersion == 1 && procs->numHandleProcs >= 7 && procs->newProc &&
           procs->disposeProc && procs->getSizeProc && procs->setSizeProc;
}

bool bufferSuiteUsable(const FilterRecord* record)
{
    const BufferProcs* procs = record->bufferProcs;
    return procs != nullptr && procs->bufferProcsVersion == 2 && procs->numBufferProcs >= 5 && procs->allocateProc &&
           procs->lockProc && procs->unlockProc && procs->freeProc && procs->spaceProc;
}

bool hasMask(const FilterRecord* record) { return record->haveMask && record->maskData != nullptr; }

bool isColourImage(const FilterRecord* record) { return record->planes >= 3; }

bool hasEditableTransparency(const FilterRecord* record)
{
    return record->filterCase == filterCaseEditableTransparencyNoSelection ||
           record->filterCase == filterCaseEditableTransparencyWithSelection;
}

int bytesPerSample(const FilterRecord* record) { return modeBytesPerSample(record); }
