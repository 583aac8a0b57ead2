// The filter's terms for Actions and Smart Filters: each setting a recorded
// step carries, under which key, as what kind of value and within which
// range. The module's AETE resource names the same keys for the host's
// Actions panel; the step is read at Start and written at Finish.
#pragma once

#include "host/HostAbi.h"
#include "settings/CloudSettings.h"

// The event's class and id (the property list's terminology names them too),
// and the seamless setting's enumeration: its type and its three values.
constexpr uint32 scriptEventClass = fourCC("nimB"), scriptEventId = fourCC("nimB");
constexpr uint32 wrapEnumeration = fourCC("wrpT");
constexpr uint32 kWrapValueIds[3] = {fourCC("wrpO"), fourCC("wrpA"), fourCC("wrpB")};  // by WrapMode

enum ScriptKind {
    scriptSlider,  // an integer, 0 to 100
    scriptSwitch,  // a boolean
    scriptColour,  // the host's RGB colour object, components 0 to 255
    scriptLight,   // a float, -1 to 1 (a component of the light's direction)
    scriptCentre,  // a unit float in percent of the filter rectangle's side
    scriptSeed,    // an integer, 0 to 2047
    scriptWrap,    // an enumerated value of wrapEnumeration
};

struct ScriptTerm {
    const char* name;  // as the Actions panel shows it
    uint32 key;
    ScriptKind kind;
    int32 CloudSettings::*word;    // sliders, the switch, the seed, the wrap
    float CloudSettings::*real;    // the light and the centre
    RGB48 CloudSettings::*colour;  // the colours
    bool optional;                 // a step without it is complete (its value is derived)
};

extern const ScriptTerm kScriptTerms[];
extern const int kScriptTermCount;
constexpr int kScriptTermCountMost = 40;  // room the readers keep for the terms

// The term of `key`; null for a key that is not ours.
const ScriptTerm* findScriptTerm(uint32 key);

// A colour component as the host's colour object holds it (0 to 255, in
// steps of 1/256), and back (rounded and pinned to 16 bits).
inline double colourComponentToScript(uint16 v) { return v / 256.0; }
inline uint16 colourComponentFromScript(double v)
{
    if (!(v > 0.0)) return 0;
    const double scaled = v * 256.0 + 0.5;
    return scaled >= 65535.0 ? uint16(65535) : uint16(scaled);
}
