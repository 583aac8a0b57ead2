// Declaration of the image editor's filter plug-in interface, as far as Nimbulo
// uses it. Field names follow the interface's published names; the layout is
// pinned by the static_asserts at the end for both 32- and 64-bit builds.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define NIMBULO_CDECL __cdecl
#else
#define NIMBULO_CDECL
#endif

typedef int16_t int16;
typedef int32_t int32;
typedef uint8_t uint8;
typedef uint16_t uint16;
typedef uint32_t uint32;
typedef uint8_t Boolean;
typedef int32_t Fixed;  // 16.16 fixed point, 1.0 is 65536
typedef int16_t OSErr;
typedef char** Handle;  // pointer to a master pointer: *handle is the block
typedef struct OpaqueBuffer* BufferID;

// Result codes the plug-in writes to the host's result word.
enum : OSErr {
    noErr = 0,
    workingBuffersUnavailable = 3,
    unexpectedErr = -1,  // a failure the plug-in did not foresee: hosts report it in their own words
    memFullErr = -108,
    userCanceledErr = -128,
    filterBadParameters = -30100,
    filterBadMode = -30101,
};

// Entry-point selectors.
enum : int16 {
    filterSelectorAbout = 0,
    filterSelectorParameters = 1,
    filterSelectorPrepare = 2,
    filterSelectorStart = 3,
    filterSelectorContinue = 4,
    filterSelectorFinish = 5,
};

constexpr uint32 fourCC(const char (&code)[5])
{
    return (uint32(uint8(code[0])) << 24) | (uint32(uint8(code[1])) << 16) | (uint32(uint8(code[2])) << 8) |
           uint32(uint8(code[3]));
}

struct Point16 {
    int16 v;
    int16 h;
};
struct Rect16 {
    int16 top;
    int16 left;
    int16 bottom;
    int16 right;
};
struct VRect {
    int32 top;
    int32 left;
    int32 bottom;
    int32 right;
};
struct RGBColor {
    uint16 red;
    uint16 green;
    uint16 blue;
};

struct PlugInMonitor {
    Fixed gamma, redX, redY, greenX, greenY, blueX, blueY, whiteX, whiteY, ambient;
};

struct PlatformData {
    void* hwnd;
};

struct PSPixelMask {
    PSPixelMask* next;
    void* maskData;
    int32 rowBytes;
    int32 colBytes;
    int32 maskDescription;
};

struct PSPixelMap {
    int32 version;
    VRect bounds;
    int32 imageMode;
    int32 rowBytes;
    int32 colBytes;
    int32 planeBytes;
    void* baseAddr;
    PSPixelMask* mat;
    PSPixelMask* masks;
    int32 maskPhaseRow;
    int32 maskPhaseCol;
};

union ColorServicesParameter {
    uint8* pickerPrompt;  // length-prefixed string
    Point16* globalSamplePoint;
    int32 specialColorID;
};

struct ColorServicesInfo {
    int32 infoSize;
    int16 selector;  // 0 choose colour, 1 convert, 2 sample point, 3 special colour
    int16 sourceSpace;
    int16 resultSpace;
    Boolean resultGamutInfoValid;
    Boolean resultInGamut;
    void* reservedSourceSpaceInfo;
    void* reservedResultSpaceInfo;
    int16 colorComponents[4];
    void* reserved;
    ColorServicesParameter selectorParameter;
};

typedef Boolean(NIMBULO_CDECL* TestAbortProc)(void);
typedef void(NIMBULO_CDECL* ProgressProc)(int32 done, int32 total);
typedef OSErr(NIMBULO_CDECL* AdvanceStateProc)(void);
typedef OSErr(NIMBULO_CDECL* DisplayPixelsProc)(const PSPixelMap* source, const VRect* srcRect, int32 dstRow,
                                                int32 dstCol, void* platformContext);
typedef OSErr(NIMBULO_CDECL* ColorServicesProc)(ColorServicesInfo* info);

struct BufferProcs {
    int16 bufferProcsVersion;
    int16 numBufferProcs;
    OSErr(NIMBULO_CDECL* allocateProc)(int32 size, BufferID* bufferID);
    void*(NIMBULO_CDECL* lockProc)(BufferID bufferID, Boolean moveHigh);
    void(NIMBULO_CDECL* unlockProc)(BufferID bufferID);
    void(NIMBULO_CDECL* freeProc)(BufferID bufferID);
    int32(NIMBULO_CDECL* spaceProc)(void);
};

struct HandleProcs {
    int16 handleProcsVersion;
    int16 numHandleProcs;
    Handle(NIMBULO_CDECL* newProc)(int32 size);
    void(NIMBULO_CDECL* disposeProc)(Handle h);
    int32(NIMBULO_CDECL* getSizeProc)(Handle h);
    OSErr(NIMBULO_CDECL* setSizeProc)(Handle h, int32 newSize);
    void*(NIMBULO_CDECL* lockProc)(Handle h, Boolean moveHigh);
    void(NIMBULO_CDECL* unlockProc)(Handle h);
    void(NIMBULO_CDECL* recoverSpaceProc)(int32 size);
    void(NIMBULO_CDECL* disposeRegularHandleProc)(Handle h);
};

// Filter cases and image modes the plug-in distinguishes.
enum : int16 {
    filterCaseFlatImageNoSelection = 1,
    filterCaseFlatImageWithSelection = 2,
    filterCaseFloatingSelection = 3,
    filterCaseEditableTransparencyNoSelection = 4,
    filterCaseEditableTransparencyWithSelection = 5,
    filterCaseProtectedTransparencyNoSelection = 6,
    filterCaseProtectedTransparencyWithSelection = 7,
};
enum : int16 {
    plugInModeBitmap = 0,
    plugInModeGrayScale = 1,
    plugInModeIndexedColor = 2,
    plugInModeRGBColor = 3,
    plugInModeCMYKColor = 4,
    plugInModeHSLColor = 5,
    plugInModeHSBColor = 6,
    plugInModeMultichannel = 7,
    plugInModeDuotone = 8,
    plugInModeLabColor = 9,
    plugInModeGray16 = 10,
    plugInModeRGB48 = 11,
    plugInModeLab48 = 12,
    plugInModeCMYK64 = 13,
    plugInModeDeepMultichannel = 14,
    plugInModeDuotone16 = 15,
    plugInModeRGB96 = 16,
    plugInModeGray32 = 17,
};

#pragma pack(push, 4)
struct FilterRecord {
    int32 serial;
    TestAbortProc abortProc;
    ProgressProc progressProc;
    Handle parameters;
    Point16 imageSize;
    int16 planes;
    Rect16 filterRect;
    RGBColor background;
    RGBColor foreground;
    int32 maxSpace;
    int32 bufferSpace;
    Rect16 inRect;
    int16 inLoPlane;
    int16 inHiPlane;
    Rect16 outRect;
    int16 outLoPlane;
    int16 outHiPlane;
    void* inData;
    int32 inRowBytes;
    void* outData;
    int32 outRowBytes;
    Boolean isFloating;
    Boolean haveMask;
    Boolean autoMask;
    Rect16 maskRect;
    void* maskData;
    int32 maskRowBytes;
    uint8 backColor[4];
    uint8 foreColor[4];
    uint32 hostSig;
    void* hostProcs;
    int16 imageMode;
    Fixed imageHRes;
    Fixed imageVRes;
    Point16 floatCoord;
    Point16 wholeSize;
    PlugInMonitor monitor;
    PlatformData* platformData;
    BufferProcs* bufferProcs;
    void* resourceProcs;
    void* processEvent;
    DisplayPixelsProc displayPixels;
    HandleProcs* handleProcs;
    Boolean supportsDummyChannels;
    Boolean supportsAlternateLayouts;
    int16 wantLayout;
    int16 filterCase;
    int16 dummyPlaneValue;
    void* premiereHook;
    AdvanceStateProc advanceState;
    Boolean supportsAbsolute;
    Boolean wantsAbsolute;
    void* getPropertyObsolete;
    Boolean cannotUndo;
    Boolean supportsPadding;
    int16 inputPadding;
    int16 outputPadding;
    int16 maskPadding;
    char samplingSupport;
    char reservedByte;
    Fixed inputRate;
    Fixed maskRate;
    ColorServicesProc colorServices;
    int16 inLayerPlanes;
    int16 inTransparencyMask;
    int16 inLayerMasks;
    int16 inInvertedLayerMasks;
    int16 inNonLayerPlanes;
    int16 outLayerPlanes;
    int16 outTransparencyMask;
    int16 outLayerMasks;
    int16 outInvertedLayerMasks;
    int16 outNonLayerPlanes;
    int16 absLayerPlanes;
    int16 absTransparencyMask;
    int16 absLayerMasks;
    int16 absInvertedLayerMasks;
    int16 absNonLayerPlanes;
    int16 inPreDummyPlanes;
    int16 inPostDummyPlanes;
    int16 outPreDummyPlanes;
    int16 outPostDummyPlanes;
    int32 inColumnBytes;
    int32 inPlaneBytes;
    int32 outColumnBytes;
    int32 outPlaneBytes;
    void* imageServicesProcs;
    void* propertyProcs;
    int16 inTileHeight;
    int16 inTileWidth;
    Point16 inTileOrigin;
    int16 absTileHeight;
    int16 absTileWidth;
    Point16 absTileOrigin;
    int16 outTileHeight;
    int16 outTileWidth;
    Point16 outTileOrigin;
    int16 maskTileHeight;
    int16 maskTileWidth;
    Point16 maskTileOrigin;
    void* descriptorParameters;
    void* errorString;
    void* channelPortProcs;
    void* documentInfo;
    void* sSPBasic;
    void* plugInRef;
    int32 depth;
    Handle iccProfileData;
    int32 iccProfileSize;
    int32 canUseICCProfiles;
    int32 hasImageScrap;
    void* bigDocumentData;  // BigDocumentStruct*: null where the host has no 32-bit coordinates
    void* input3DScene;
    void* output3DScene;
    Boolean createNewLayer;
    Handle iccWorkingProfileData;
    int32 iccWorkingProfileSize;
    int64_t bufferSpace64;
    int64_t maxSpace64;
    Boolean allowOverrangeColors;
    uint8 reserved[45];  // the plug-in never touches them
};

struct VPoint {
    int32 v;
    int32 h;
};

// The 32-bit coordinates of hosts with documents larger than 30000 pixels a
// side: once the plug-in sets PluginUsing32BitCoordinates, these replace
// imageSize, filterRect, inRect, outRect, maskRect, floatCoord and wholeSize.
struct BigDocumentStruct {
    int32 PluginUsing32BitCoordinates;
    VPoint imageSize32;
    VRect filterRect32;
    VRect inRect32;
    VRect outRect32;
    VRect maskRect32;
    VPoint floatCoord32;
    VPoint wholeSize32;
};
#pragma pack(pop)

// The entry point every host calls.
extern "C" typedef void(NIMBULO_CDECL* PluginEntryProc)(int16 selector, void* filterRecord, intptr_t* data,
                                                        int16* result);

// ---- Layout pins: every offset and size the host relies on (the other
// interface headers pin theirs with the same macros). ----
#define NIMBULO_PIN(type, field, at32, at64) \
    static_assert(offsetof(type, field) == (sizeof(void*) == 4 ? (at32) : (at64)), #type "." #field)
#define NIMBULO_SIZE(type, size32, size64) \
    static_assert(sizeof(type) == (sizeof(void*) == 4 ? (size32) : (size64)), "sizeof " #type)

NIMBULO_PIN(FilterRecord, serial, 0, 0);
NIMBULO_PIN(FilterRecord, abortProc, 4, 4);
NIMBULO_PIN(FilterRecord, progressProc, 8, 12);
NIMBULO_PIN(FilterRecord, parameters, 12, 20);
NIMBULO_PIN(FilterRecord, imageSize, 16, 28);
NIMBULO_PIN(FilterRecord, planes, 20, 32);
NIMBULO_PIN(FilterRecord, filterRect, 22, 34);
NIMBULO_PIN(FilterRecord, background, 30, 42);
NIMBULO_PIN(FilterRecord, foreground, 36, 48);
NIMBULO_PIN(FilterRecord, maxSpace, 44, 56);
NIMBULO_PIN(FilterRecord, bufferSpace, 48, 60);
NIMBULO_PIN(FilterRecord, inRect, 52, 64);
NIMBULO_PIN(FilterRecord, inLoPlane, 60, 72);
NIMBULO_PIN(FilterRecord, inHiPlane, 62, 74);
NIMBULO_PIN(FilterRecord, outRect, 64, 76);
NIMBULO_PIN(FilterRecord, outLoPlane, 72, 84);
NIMBULO_PIN(FilterRecord, outHiPlane, 74, 86);
NIMBULO_PIN(FilterRecord, inData, 76, 88);
NIMBULO_PIN(FilterRecord, inRowBytes, 80, 96);
NIMBULO_PIN(FilterRecord, outData, 84, 100);
NIMBULO_PIN(FilterRecord, outRowBytes, 88, 108);
NIMBULO_PIN(FilterRecord, isFloating, 92, 112);
NIMBULO_PIN(FilterRecord, haveMask, 93, 113);
NIMBULO_PIN(FilterRecord, autoMask, 94, 114);
NIMBULO_PIN(FilterRecord, maskRect, 96, 116);
NIMBULO_PIN(FilterRecord, maskData, 104, 124);
NIMBULO_PIN(FilterRecord, maskRowBytes, 108, 132);
NIMBULO_PIN(FilterRecord, backColor, 112, 136);
NIMBULO_PIN(FilterRecord, foreColor, 116, 140);
NIMBULO_PIN(FilterRecord, hostSig, 120, 144);
NIMBULO_PIN(FilterRecord, hostProcs, 124, 148);
NIMBULO_PIN(FilterRecord, imageMode, 128, 156);
NIMBULO_PIN(FilterRecord, imageHRes, 132, 160);
NIMBULO_PIN(FilterRecord, imageVRes, 136, 164);
NIMBULO_PIN(FilterRecord, floatCoord, 140, 168);
NIMBULO_PIN(FilterRecord, wholeSize, 144, 172);
NIMBULO_PIN(FilterRecord, monitor, 148, 176);
NIMBULO_PIN(FilterRecord, platformData, 188, 216);
NIMBULO_PIN(FilterRecord, bufferProcs, 192, 224);
NIMBULO_PIN(FilterRecord, resourceProcs, 196, 232);
NIMBULO_PIN(FilterRecord, processEvent, 200, 240);
NIMBULO_PIN(FilterRecord, displayPixels, 204, 248);
NIMBULO_PIN(FilterRecord, handleProcs, 208, 256);
NIMBULO_PIN(FilterRecord, supportsDummyChannels, 212, 264);
NIMBULO_PIN(FilterRecord, supportsAlternateLayouts, 213, 265);
NIMBULO_PIN(FilterRecord, wantLayout, 214, 266);
NIMBULO_PIN(FilterRecord, filterCase, 216, 268);
NIMBULO_PIN(FilterRecord, dummyPlaneValue, 218, 270);
NIMBULO_PIN(FilterRecord, premiereHook, 220, 272);
NIMBULO_PIN(FilterRecord, advanceState, 224, 280);
NIMBULO_PIN(FilterRecord, supportsAbsolute, 228, 288);
NIMBULO_PIN(FilterRecord, wantsAbsolute, 229, 289);
NIMBULO_PIN(FilterRecord, getPropertyObsolete, 232, 292);
NIMBULO_PIN(FilterRecord, cannotUndo, 236, 300);
NIMBULO_PIN(FilterRecord, supportsPadding, 237, 301);
NIMBULO_PIN(FilterRecord, inputPadding, 238, 302);
NIMBULO_PIN(FilterRecord, outputPadding, 240, 304);
NIMBULO_PIN(FilterRecord, maskPadding, 242, 306);
NIMBULO_PIN(FilterRecord, samplingSupport, 244, 308);
NIMBULO_PIN(FilterRecord, reservedByte, 245, 309);
NIMBULO_PIN(FilterRecord, inputRate, 248, 312);
NIMBULO_PIN(FilterRecord, maskRate, 252, 316);
NIMBULO_PIN(FilterRecord, colorServices, 256, 320);
NIMBULO_PIN(FilterRecord, inLayerPlanes, 260, 328);
NIMBULO_PIN(FilterRecord, inTransparencyMask, 262, 330);
NIMBULO_PIN(FilterRecord, inLayerMasks, 264, 332);
NIMBULO_PIN(FilterRecord, inInvertedLayerMasks, 266, 334);
NIMBULO_PIN(FilterRecord, inNonLayerPlanes, 268, 336);
NIMBULO_PIN(FilterRecord, outLayerPlanes, 270, 338);
NIMBULO_PIN(FilterRecord, outTransparencyMask, 272, 340);
NIMBULO_PIN(FilterRecord, outLayerMasks, 274, 342);
NIMBULO_PIN(FilterRecord, outInvertedLayerMasks, 276, 344);
NIMBULO_PIN(FilterRecord, outNonLayerPlanes, 278, 346);
NIMBULO_PIN(FilterRecord, absLayerPlanes, 280, 348);
NIMBULO_PIN(FilterRecord, absTransparencyMask, 282, 350);
NIMBULO_PIN(FilterRecord, absLayerMasks, 284, 352);
NIMBULO_PIN(FilterRecord, absInvertedLayerMasks, 286, 354);
NIMBULO_PIN(FilterRecord, absNonLayerPlanes, 288, 356);
NIMBULO_PIN(FilterRecord, inPreDummyPlanes, 290, 358);
NIMBULO_PIN(FilterRecord, inPostDummyPlanes, 292, 360);
NIMBULO_PIN(FilterRecord, outPreDummyPlanes, 294, 362);
NIMBULO_PIN(FilterRecord, outPostDummyPlanes, 296, 364);
NIMBULO_PIN(FilterRecord, inColumnBytes, 300, 368);
NIMBULO_PIN(FilterRecord, inPlaneBytes, 304, 372);
NIMBULO_PIN(FilterRecord, outColumnBytes, 308, 376);
NIMBULO_PIN(FilterRecord, outPlaneBytes, 312, 380);
NIMBULO_PIN(FilterRecord, imageServicesProcs, 316, 384);
NIMBULO_PIN(FilterRecord, propertyProcs, 320, 392);
NIMBULO_PIN(FilterRecord, inTileHeight, 324, 400);
NIMBULO_PIN(FilterRecord, inTileWidth, 326, 402);
NIMBULO_PIN(FilterRecord, inTileOrigin, 328, 404);
NIMBULO_PIN(FilterRecord, absTileHeight, 332, 408);
NIMBULO_PIN(FilterRecord, absTileWidth, 334, 410);
NIMBULO_PIN(FilterRecord, absTileOrigin, 336, 412);
NIMBULO_PIN(FilterRecord, outTileHeight, 340, 416);
NIMBULO_PIN(FilterRecord, outTileWidth, 342, 418);
NIMBULO_PIN(FilterRecord, outTileOrigin, 344, 420);
NIMBULO_PIN(FilterRecord, maskTileHeight, 348, 424);
NIMBULO_PIN(FilterRecord, maskTileWidth, 350, 426);
NIMBULO_PIN(FilterRecord, maskTileOrigin, 352, 428);
NIMBULO_PIN(FilterRecord, descriptorParameters, 356, 432);
NIMBULO_PIN(FilterRecord, errorString, 360, 440);
NIMBULO_PIN(FilterRecord, channelPortProcs, 364, 448);
NIMBULO_PIN(FilterRecord, documentInfo, 368, 456);
NIMBULO_PIN(FilterRecord, sSPBasic, 372, 464);
NIMBULO_PIN(FilterRecord, plugInRef, 376, 472);
NIMBULO_PIN(FilterRecord, depth, 380, 480);
NIMBULO_PIN(FilterRecord, iccProfileData, 384, 484);
NIMBULO_PIN(FilterRecord, iccProfileSize, 388, 492);
NIMBULO_PIN(FilterRecord, canUseICCProfiles, 392, 496);
NIMBULO_PIN(FilterRecord, hasImageScrap, 396, 500);
NIMBULO_PIN(FilterRecord, bigDocumentData, 400, 504);
NIMBULO_PIN(FilterRecord, createNewLayer, 412, 528);
NIMBULO_PIN(FilterRecord, iccWorkingProfileData, 416, 532);
NIMBULO_PIN(FilterRecord, bufferSpace64, 424, 544);
NIMBULO_PIN(FilterRecord, maxSpace64, 432, 552);
NIMBULO_PIN(FilterRecord, allowOverrangeColors, 440, 560);
NIMBULO_SIZE(FilterRecord, 488, 608);

NIMBULO_PIN(BigDocumentStruct, imageSize32, 4, 4);
NIMBULO_PIN(BigDocumentStruct, filterRect32, 12, 12);
NIMBULO_PIN(BigDocumentStruct, inRect32, 28, 28);
NIMBULO_PIN(BigDocumentStruct, outRect32, 44, 44);
NIMBULO_PIN(BigDocumentStruct, maskRect32, 60, 60);
NIMBULO_PIN(BigDocumentStruct, floatCoord32, 76, 76);
NIMBULO_PIN(BigDocumentStruct, wholeSize32, 84, 84);
NIMBULO_SIZE(BigDocumentStruct, 92, 92);

NIMBULO_PIN(BufferProcs, bufferProcsVersion, 0, 0);
NIMBULO_PIN(BufferProcs, numBufferProcs, 2, 2);
NIMBULO_PIN(BufferProcs, allocateProc, 4, 8);
NIMBULO_PIN(BufferProcs, lockProc, 8, 16);
NIMBULO_PIN(BufferProcs, unlockProc, 12, 24);
NIMBULO_PIN(BufferProcs, freeProc, 16, 32);
NIMBULO_PIN(BufferProcs, spaceProc, 20, 40);
NIMBULO_SIZE(BufferProcs, 24, 48);

NIMBULO_PIN(HandleProcs, handleProcsVersion, 0, 0);
NIMBULO_PIN(HandleProcs, numHandleProcs, 2, 2);
NIMBULO_PIN(HandleProcs, newProc, 4, 8);
NIMBULO_PIN(HandleProcs, disposeProc, 8, 16);
NIMBULO_PIN(HandleProcs, getSizeProc, 12, 24);
NIMBULO_PIN(HandleProcs, setSizeProc, 16, 32);
NIMBULO_PIN(HandleProcs, lockProc, 20, 40);
NIMBULO_PIN(HandleProcs, unlockProc, 24, 48);
NIMBULO_PIN(HandleProcs, recoverSpaceProc, 28, 56);
NIMBULO_PIN(HandleProcs, disposeRegularHandleProc, 32, 64);
NIMBULO_SIZE(HandleProcs, 36, 72);

NIMBULO_PIN(PSPixelMap, version, 0, 0);
NIMBULO_PIN(PSPixelMap, bounds, 4, 4);
NIMBULO_PIN(PSPixelMap, imageMode, 20, 20);
NIMBULO_PIN(PSPixelMap, rowBytes, 24, 24);
NIMBULO_PIN(PSPixelMap, colBytes, 28, 28);
NIMBULO_PIN(PSPixelMap, planeBytes, 32, 32);
NIMBULO_PIN(PSPixelMap, baseAddr, 36, 40);
NIMBULO_PIN(PSPixelMap, mat, 40, 48);
NIMBULO_PIN(PSPixelMap, masks, 44, 56);
NIMBULO_PIN(PSPixelMap, maskPhaseRow, 48, 64);
NIMBULO_PIN(PSPixelMap, maskPhaseCol, 52, 68);
NIMBULO_SIZE(PSPixelMap, 56, 72);

NIMBULO_PIN(PSPixelMask, next, 0, 0);
NIMBULO_PIN(PSPixelMask, maskData, 4, 8);
NIMBULO_PIN(PSPixelMask, rowBytes, 8, 16);
NIMBULO_PIN(PSPixelMask, colBytes, 12, 20);
NIMBULO_PIN(PSPixelMask, maskDescription, 16, 24);

NIMBULO_PIN(ColorServicesInfo, infoSize, 0, 0);
NIMBULO_PIN(ColorServicesInfo, selector, 4, 4);
NIMBULO_PIN(ColorServicesInfo, sourceSpace, 6, 6);
NIMBULO_PIN(ColorServicesInfo, resultSpace, 8, 8);
NIMBULO_PIN(ColorServicesInfo, resultGamutInfoValid, 10, 10);
NIMBULO_PIN(ColorServicesInfo, resultInGamut, 11, 11);
NIMBULO_PIN(ColorServicesInfo, reservedSourceSpaceInfo, 12, 16);
NIMBULO_PIN(ColorServicesInfo, reservedResultSpaceInfo, 16, 24);
NIMBULO_PIN(ColorServicesInfo, colorComponents, 20, 32);
NIMBULO_PIN(ColorServicesInfo, reserved, 28, 40);
NIMBULO_PIN(ColorServicesInfo, selectorParameter, 32, 48);
NIMBULO_SIZE(ColorServicesInfo, 36, 56);

static_assert(sizeof(Point16) == 4 && sizeof(Rect16) == 8 && sizeof(VRect) == 16 && sizeof(RGBColor) == 6 &&
                  sizeof(PlugInMonitor) == 40,
              "scalar records");
