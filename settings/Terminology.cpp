#include "settings/Terminology.h"

#define WORD_TERM(name, key, kind, field)                                       \
    {                                                                           \
        name, fourCC(key), kind, &CloudSettings::field, nullptr, nullptr, false \
    }
#define REAL_TERM(name, key, kind, field, optional)                                \
    {                                                                              \
        name, fourCC(key), kind, nullptr, &CloudSettings::field, nullptr, optional \
    }
#define COLOUR_TERM(name, key, field)                                                   \
    {                                                                                   \
        name, fourCC(key), scriptColour, nullptr, nullptr, &CloudSettings::field, false \
    }

// Our own keys: lower case first, with a capital (the interface's rule for
// third-party terms), each used once.
const ScriptTerm kScriptTerms[] = {
    WORD_TERM("puffs", "pufS", scriptSlider, puffs),
    WORD_TERM("lump scale", "lmpS", scriptSlider, lumpScale),
    WORD_TERM("flatness", "flaT", scriptSlider, flatness),
    WORD_TERM("density", "dnsT", scriptSlider, density),
    WORD_TERM("lumpiness", "lmpN", scriptSlider, lumpiness),
    WORD_TERM("detail", "dtlD", scriptSlider, detail),
    WORD_TERM("dispersion", "dspR", scriptSlider, dispersion),
    WORD_TERM("sky light", "skyL", scriptSlider, skyLight),
    WORD_TERM("brightness", "brtN", scriptSlider, brightness),
    WORD_TERM("smokiness", "smkN", scriptSlider, smokiness),
    WORD_TERM("harshness", "hrsN", scriptSlider, harshness),
    WORD_TERM("mottling", "mtlN", scriptSlider, mottling),
    WORD_TERM("zoom", "zooM", scriptSlider, zoom),
    WORD_TERM("backlighting", "bckL", scriptSwitch, backlighting),
    COLOUR_TERM("cloud color", "cldC", cloudColor),
    COLOUR_TERM("sky color", "skyC", skyColor),
    REAL_TERM("light x", "lgtX", scriptLight, lightX, false),
    REAL_TERM("light y", "lgtY", scriptLight, lightY, false),
    // The light's height: the pad makes it with x and y; without it a step
    // takes the height of a light of unit length.
    REAL_TERM("light z", "lgtZ", scriptLight, lightZ, true),
    REAL_TERM("center x", "cntX", scriptCentre, centreU, false),
    REAL_TERM("center y", "cntY", scriptCentre, centreV, false),
    WORD_TERM("seed", "seeD", scriptSeed, seed),
    WORD_TERM("seamless", "smlS", scriptWrap, wrap),
};
const int kScriptTermCount = int(sizeof kScriptTerms / sizeof kScriptTerms[0]);
static_assert(sizeof kScriptTerms / sizeof kScriptTerms[0] <= kScriptTermCountMost, "room for every term");

const ScriptTerm* findScriptTerm(uint32 key)
{
    for (const ScriptTerm& t : kScriptTerms)
        if (t.key == key) return &t;
    return nullptr;
}
