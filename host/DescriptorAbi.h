// The host interface's scripting part, as far as Nimbulo uses it: the
// descriptor parameters a host passes with every call (how an Action plays
// the filter back and what it records) and the two tables of procedures that
// read and write descriptors. These structures have their natural alignment
// (no pack pragma); the static_asserts at the end pin their layout.
#pragma once

#include "host/HostAbi.h"

typedef uint32 DescriptorKeyID;
typedef uint32 DescriptorTypeID;
typedef uint32 DescriptorEnumID;
typedef uint32 DescriptorUnitID;
typedef Handle PIDescriptorHandle;
typedef struct OpaqueReadDescriptor* PIReadDescriptor;
typedef struct OpaqueWriteDescriptor* PIWriteDescriptor;
typedef uint8 Str255[256];

// Result codes of scripting.
enum : OSErr {
    paramErr = -50,
    readErr = -19,
    coercedParamErr = 2,
    errMissingParameter = -1715,
    errReportString = -30904,  // the host shows the Pascal string in *errorString
};

// How the host wants the dialog (playInfo), and what the plug-in says a
// recorded step needs (recordInfo).
enum : int16 {
    plugInDialogDontDisplay = 0,  // only when something is missing or wrong
    plugInDialogDisplay = 1,      // shown, starting from the descriptor's values
    plugInDialogSilent = 2,       // never: the descriptor or an error
};
enum : int16 { plugInDialogOptional = 0, plugInDialogRequired = 1, plugInDialogNone = 2 };

// Type and unit codes of descriptor values.
constexpr DescriptorTypeID typeInteger = fourCC("long"), typeFloat = fourCC("doub"), typeBoolean = fourCC("bool"),
                           typeUnitFloat = fourCC("UntF"), typeEnumerated = fourCC("enum"), typeObject = fourCC("Objc"),
                           typeNull = fourCC("null"), typeImageReference = fourCC("#ImR");
constexpr DescriptorUnitID unitPercent = fourCC("#Prc");
// The host's RGB colour object and its three components (0 to 255).
constexpr DescriptorTypeID classRGBColor = fourCC("RGBC");
constexpr DescriptorKeyID keyRed = fourCC("Rd  "), keyGreen = fourCC("Grn "), keyBlue = fourCC("Bl  ");

extern "C" {
typedef PIWriteDescriptor(NIMBULO_CDECL* OpenWriteDescriptorProc)(void);
typedef OSErr(NIMBULO_CDECL* CloseWriteDescriptorProc)(PIWriteDescriptor, PIDescriptorHandle*);
typedef OSErr(NIMBULO_CDECL* PutIntegerProc)(PIWriteDescriptor, DescriptorKeyID, int32);
typedef OSErr(NIMBULO_CDECL* PutFloatProc)(PIWriteDescriptor, DescriptorKeyID, const double*);
typedef OSErr(NIMBULO_CDECL* PutUnitFloatProc)(PIWriteDescriptor, DescriptorKeyID, DescriptorUnitID, const double*);
typedef OSErr(NIMBULO_CDECL* PutBooleanProc)(PIWriteDescriptor, DescriptorKeyID, Boolean);
typedef OSErr(NIMBULO_CDECL* PutHandleProc)(PIWriteDescriptor, DescriptorKeyID, Handle);
typedef OSErr(NIMBULO_CDECL* PutEnumeratedProc)(PIWriteDescriptor, DescriptorKeyID, DescriptorTypeID, DescriptorEnumID);
typedef OSErr(NIMBULO_CDECL* PutClassProc)(PIWriteDescriptor, DescriptorKeyID, DescriptorTypeID);
typedef OSErr(NIMBULO_CDECL* PutReferenceProc)(PIWriteDescriptor, DescriptorKeyID, const void*);
typedef OSErr(NIMBULO_CDECL* PutObjectProc)(PIWriteDescriptor, DescriptorKeyID, DescriptorTypeID, PIDescriptorHandle);
typedef OSErr(NIMBULO_CDECL* PutCountProc)(PIWriteDescriptor, DescriptorKeyID, uint32);
typedef OSErr(NIMBULO_CDECL* PutStringProc)(PIWriteDescriptor, DescriptorKeyID, const uint8*);

typedef PIReadDescriptor(NIMBULO_CDECL* OpenReadDescriptorProc)(PIDescriptorHandle, DescriptorKeyID*);
typedef OSErr(NIMBULO_CDECL* CloseReadDescriptorProc)(PIReadDescriptor);
typedef Boolean(NIMBULO_CDECL* GetKeyProc)(PIReadDescriptor, DescriptorKeyID*, DescriptorTypeID*, int32*);
typedef OSErr(NIMBULO_CDECL* GetIntegerProc)(PIReadDescriptor, int32*);
typedef OSErr(NIMBULO_CDECL* GetFloatProc)(PIReadDescriptor, double*);
typedef OSErr(NIMBULO_CDECL* GetUnitFloatProc)(PIReadDescriptor, DescriptorUnitID*, double*);
typedef OSErr(NIMBULO_CDECL* GetBooleanProc)(PIReadDescriptor, Boolean*);
typedef OSErr(NIMBULO_CDECL* GetHandleProc)(PIReadDescriptor, Handle*);
typedef OSErr(NIMBULO_CDECL* GetEnumeratedProc)(PIReadDescriptor, DescriptorEnumID*);
typedef OSErr(NIMBULO_CDECL* GetClassProc)(PIReadDescriptor, DescriptorTypeID*);
typedef OSErr(NIMBULO_CDECL* GetReferenceProc)(PIReadDescriptor, void*);
typedef OSErr(NIMBULO_CDECL* GetObjectProc)(PIReadDescriptor, DescriptorTypeID*, PIDescriptorHandle*);
typedef OSErr(NIMBULO_CDECL* GetCountProc)(PIReadDescriptor, uint32*);
typedef OSErr(NIMBULO_CDECL* GetStringProc)(PIReadDescriptor, Str255*);
typedef OSErr(NIMBULO_CDECL* GetPinnedIntegerProc)(PIReadDescriptor, int32, int32, int32*);
typedef OSErr(NIMBULO_CDECL* GetPinnedFloatProc)(PIReadDescriptor, const double*, const double*, double*);
typedef OSErr(NIMBULO_CDECL* GetPinnedUnitFloatProc)(PIReadDescriptor, const double*, const double*, DescriptorUnitID*,
                                                     double*);
}

struct WriteDescriptorProcs {
    int16 writeDescriptorProcsVersion;
    int16 numWriteDescriptorProcs;  // 16
    OpenWriteDescriptorProc openWriteDescriptorProc;
    CloseWriteDescriptorProc closeWriteDescriptorProc;
    PutIntegerProc putIntegerProc;
    PutFloatProc putFloatProc;
    PutUnitFloatProc putUnitFloatProc;
    PutBooleanProc putBooleanProc;
    PutHandleProc putTextProc;
    PutHandleProc putAliasProc;
    PutEnumeratedProc putEnumeratedProc;
    PutClassProc putClassProc;
    PutReferenceProc putSimpleReferenceProc;
    PutObjectProc putObjectProc;
    PutCountProc putCountProc;
    PutStringProc putStringProc;
    PutClassProc putScopedClassProc;
    PutObjectProc putScopedObjectProc;
};

struct ReadDescriptorProcs {
    int16 readDescriptorProcsVersion;
    int16 numReadDescriptorProcs;  // 18
    OpenReadDescriptorProc openReadDescriptorProc;
    CloseReadDescriptorProc closeReadDescriptorProc;
    GetKeyProc getKeyProc;
    GetIntegerProc getIntegerProc;
    GetFloatProc getFloatProc;
    GetUnitFloatProc getUnitFloatProc;
    GetBooleanProc getBooleanProc;
    GetHandleProc getTextProc;
    GetHandleProc getAliasProc;
    GetEnumeratedProc getEnumeratedProc;
    GetClassProc getClassProc;
    GetReferenceProc getSimpleReferenceProc;
    GetObjectProc getObjectProc;
    GetCountProc getCountProc;
    GetStringProc getStringProc;
    GetPinnedIntegerProc getPinnedIntegerProc;
    GetPinnedFloatProc getPinnedFloatProc;
    GetPinnedUnitFloatProc getPinnedUnitFloatProc;
};

struct PIDescriptorParameters {
    int16 descriptorParametersVersion;
    int16 playInfo;
    int16 recordInfo;
    PIDescriptorHandle descriptor;
    WriteDescriptorProcs* writeDescriptorProcs;
    ReadDescriptorProcs* readDescriptorProcs;
};

NIMBULO_PIN(PIDescriptorParameters, playInfo, 2, 2);
NIMBULO_PIN(PIDescriptorParameters, recordInfo, 4, 4);
NIMBULO_PIN(PIDescriptorParameters, descriptor, 8, 8);
NIMBULO_PIN(PIDescriptorParameters, writeDescriptorProcs, 12, 16);
NIMBULO_PIN(PIDescriptorParameters, readDescriptorProcs, 16, 24);
NIMBULO_SIZE(PIDescriptorParameters, 20, 32);
NIMBULO_PIN(WriteDescriptorProcs, openWriteDescriptorProc, 4, 8);
NIMBULO_PIN(WriteDescriptorProcs, putScopedObjectProc, 64, 128);
NIMBULO_SIZE(WriteDescriptorProcs, 68, 136);
NIMBULO_PIN(ReadDescriptorProcs, openReadDescriptorProc, 4, 8);
NIMBULO_PIN(ReadDescriptorProcs, getPinnedUnitFloatProc, 72, 144);
NIMBULO_SIZE(ReadDescriptorProcs, 76, 152);
