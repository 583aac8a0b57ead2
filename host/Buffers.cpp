#include "host/Buffers.h"

#include <cstring>

#include "host/Capabilities.h"
#include "host/Context.h"
#include "host/Coordinates.h"
#include "platform/Platform.h"

// One buffer of `size` bytes: from the host's suite when it allocates and
// locks, else zero-filled system memory with ID 0.
static void* obtainBuffer(FilterContext* ctx, int32 size, BufferID* id)
{
    const FilterRecord* record = ctx->filter;
    *id = nullptr;
    if (bufferSuiteUsable(record)) {
        BufferID hostId = nullptr;
        if (record->bufferProcs->allocateProc(size, &hostId) == noErr && hostId) {
            void* data = record->bufferProcs->lockProc(hostId, true);
            if (data) {
                *id = hostId;
                return data;
            }
            record->bufferProcs->freeProc(hostId);
        }
    }
    return platformAllocZeroed(size_t(size));
}

static void releaseBuffer(FilterContext* ctx, BufferID* id, void* data)
{
    const FilterRecord* record = ctx->filter;
    if (data) {
        if (*id) {
            if (bufferSuiteUsable(record)) {
                record->bufferProcs->unlockProc(*id);
                record->bufferProcs->freeProc(*id);
            }
        } else {
            platformFree(data);
        }
    }
    *id = nullptr;
}

void clearRequestRects(FilterContext* ctx)
{
    FilterRecord* record = ctx->filter;
    const VRect none = {0, 0, 0, 0};
    setInRect(record, none);
    setOutRect(record, none);
    setMaskRect(record, none);
}

void releaseWorkingBuffers(FilterContext* ctx)
{
    releaseBuffer(ctx, &ctx->workBufferID, ctx->work);
    ctx->work = nullptr;
    releaseBuffer(ctx, &ctx->thumbnailBufferID, ctx->thumbnail);
    ctx->thumbnail = nullptr;
    platformFree(ctx->screenCopy);
    ctx->screenCopy = nullptr;
    ctx->screenCopyBytes = 0;
}

bool acquireWorkingBuffers(FilterContext* ctx)
{
    ctx->work = nullptr;
    ctx->workBufferID = nullptr;
    ctx->thumbnail = nullptr;
    ctx->thumbnailBufferID = nullptr;
    ctx->screenCopy = nullptr;
    ctx->screenCopyBytes = 0;
    ctx->work = static_cast<WorkBlock*>(obtainBuffer(ctx, int32(sizeof(WorkBlock)), &ctx->workBufferID));
    ctx->thumbnail = static_cast<uint8*>(obtainBuffer(ctx, thumbnailBytes, &ctx->thumbnailBufferID));
    if (ctx->work && ctx->thumbnail) {
        // Host buffers may hold anything; the counters in the work block start at 0.
        std::memset(ctx->work, 0, sizeof(WorkBlock));
        return true;
    }
    releaseWorkingBuffers(ctx);
    setResult(ctx, workingBuffersUnavailable);
    clearRequestRects(ctx);
    return false;
}
