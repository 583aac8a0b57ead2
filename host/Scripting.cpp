#include "host/Scripting.h"

#include <cmath>
#include <cstring>

#include "host/Capabilities.h"
#include "host/DescriptorAbi.h"
#include "settings/CloudSettings.h"
#include "settings/Terminology.h"

namespace {

// A hostile host could report keys for ever: no step holds more than this.
const int mostKeys = 1000;

const char* const failedStepMessage =
    "Nimbulo cannot play this step: it misses settings or holds values of the wrong kind. Record the step again.";

PIDescriptorParameters* parametersOf(const FilterRecord* r)
{
    return static_cast<PIDescriptorParameters*>(r->descriptorParameters);
}

bool canRead(const ReadDescriptorProcs* p)
{
    return p && p->openReadDescriptorProc && p->closeReadDescriptorProc && p->getKeyProc && p->getPinnedIntegerProc &&
           p->getBooleanProc && p->getPinnedFloatProc && p->getPinnedUnitFloatProc && p->getEnumeratedProc &&
           p->getObjectProc;
}

bool canWrite(const WriteDescriptorProcs* p)
{
    return p && p->openWriteDescriptorProc && p->closeWriteDescriptorProc && p->putIntegerProc && p->putFloatProc &&
           p->putUnitFloatProc && p->putBooleanProc && p->putEnumeratedProc && p->putObjectProc;
}

// A handle the host gave the plug-in to keep: back to the host. Without a
// handle suite it cannot be, and stays where the host put it.
bool giveBack(const FilterRecord* r, Handle h)
{
    if (!h) return true;
    if (!handleSuiteUsable(r)) return false;
    r->handleProcs->disposeProc(h);
    return true;
}

bool accepted(OSErr e) { return e == noErr || e == coercedParamErr; }

// The host's colour object: its three components, each pinned to 0..255.
bool readColour(const FilterRecord* r, const ReadDescriptorProcs* p, PIReadDescriptor token, RGB48* colour)
{
    DescriptorTypeID type = 0;
    PIDescriptorHandle object = nullptr;
    if (!accepted(p->getObjectProc(token, &type, &object)) || !object) return false;
    RGB48 read = *colour;
    int found = 0;
    bool good = type == classRGBColor;
    DescriptorKeyID keys[] = {keyRed, keyGreen, keyBlue, 0};
    PIReadDescriptor inner = good ? p->openReadDescriptorProc(object, keys) : nullptr;
    if (inner) {
        DescriptorKeyID key = 0;
        DescriptorTypeID valueType = 0;
        int32 flags = 0;
        const double low = 0.0, high = 255.0;
        for (int n = 0; n < mostKeys && p->getKeyProc(inner, &key, &valueType, &flags); ++n) {
            uint16* component = key == keyRed     ? &read.red
                                : key == keyGreen ? &read.green
                                : key == keyBlue  ? &read.blue
                                                  : nullptr;
            if (!component) continue;
            double v = 0.0;
            if (!accepted(p->getPinnedFloatProc(inner, &low, &high, &v))) {
                good = false;
                continue;
            }
            *component = colourComponentFromScript(v);
            found |= component == &read.red ? 1 : component == &read.green ? 2 : 4;
        }
        good = accepted(p->closeReadDescriptorProc(inner)) && good;
    }
    giveBack(r, object);
    if (!good || found != 7) return false;
    *colour = read;
    return true;
}

// One of our terms from the key just reported; false when the host's value
// is of another kind or cannot be read.
bool readTerm(const FilterRecord* r, const ReadDescriptorProcs* p, PIReadDescriptor token, const ScriptTerm& term,
              CloudSettings* s)
{
    switch (term.kind) {
    case scriptSlider:
    case scriptSeed: {
        int32 v = 0;
        if (!accepted(p->getPinnedIntegerProc(token, 0, term.kind == scriptSeed ? 2047 : 100, &v))) return false;
        s->*term.word = v;
        return true;
    }
    case scriptSwitch: {
        Boolean v = 0;
        if (!accepted(p->getBooleanProc(token, &v))) return false;
        s->*term.word = v ? 1 : 0;
        return true;
    }
    case scriptLight: {
        const double low = -1.0, high = 1.0;
        double v = 0.0;
        if (!accepted(p->getPinnedFloatProc(token, &low, &high, &v))) return false;
        s->*term.real = float(v);
        return true;
    }
    case scriptCentre: {
        // As far from the rectangle as the renderer goes.
        const double low = -1.0e6, high = 1.0e6;
        DescriptorUnitID unit = unitPercent;  // the unit asked for (some hosts compare it)
        double v = 0.0;
        if (!accepted(p->getPinnedUnitFloatProc(token, &low, &high, &unit, &v)) || !std::isfinite(v)) return false;
        s->*term.real = float(v / 100.0);
        return true;
    }
    case scriptWrap: {
        DescriptorEnumID v = 0;
        if (!accepted(p->getEnumeratedProc(token, &v))) return false;
        for (int mode = 0; mode < 3; ++mode)
            if (v == kWrapValueIds[mode]) {
                s->*term.word = mode;
                return true;
            }
        return false;
    }
    case scriptColour: return readColour(r, p, token, &(s->*term.colour));
    }
    return false;
}

// Every term the host's step holds, over `s`. Complete: every term that is
// not optional was there; valid: every one of ours could be read.
void readStep(const FilterRecord* r, const ReadDescriptorProcs* p, PIDescriptorHandle descriptor, CloudSettings* s,
              bool* complete, bool* valid)
{
    static_assert(kScriptTermCountMost < 64, "the key array and the found flags hold every term");
    DescriptorKeyID keys[64];
    int k = 0;
    for (; k < kScriptTermCount; ++k) keys[k] = kScriptTerms[k].key;
    keys[k] = 0;
    *complete = false;
    *valid = false;
    PIReadDescriptor token = p->openReadDescriptorProc(descriptor, keys);
    if (!token) return;
    bool found[64] = {};
    bool good = true, lightHeightRead = false;
    DescriptorKeyID key = 0;
    DescriptorTypeID type = 0;
    int32 flags = 0;
    for (int n = 0; n < mostKeys && p->getKeyProc(token, &key, &type, &flags); ++n) {
        const ScriptTerm* term = findScriptTerm(key);
        if (!term) continue;  // another version's term, or the host's own
        if (!readTerm(r, p, token, *term, s)) {
            good = false;
            continue;
        }
        found[term - kScriptTerms] = true;
        lightHeightRead |= term->real == &CloudSettings::lightZ;
    }
    // The close reports the worst error met while reading; a key it missed is
    // told by our own count.
    const OSErr closed = p->closeReadDescriptorProc(token);
    good = good && (accepted(closed) || closed == errMissingParameter);
    bool all = true;
    for (int t = 0; t < kScriptTermCount; ++t) all = all && (found[t] || kScriptTerms[t].optional);
    if (!lightHeightRead)
        s->lightZ =
            float(std::sqrt(std::fmax(0.0, 1.0 - double(s->lightX) * s->lightX - double(s->lightY) * s->lightY)));
    *complete = all;
    *valid = good;
}

// The plain message for a step that cannot be played silently.
void failStep(FilterContext* ctx)
{
    FilterRecord* r = ctx->filter;
    if (!r->errorString) {
        setResult(ctx, filterBadParameters);
        return;
    }
    auto* text = static_cast<uint8*>(r->errorString);
    const size_t length = std::strlen(failedStepMessage);
    text[0] = uint8(length);
    std::memcpy(text + 1, failedStepMessage, length);
    setResult(ctx, errReportString);
}

// Puts every term of `s`; false when the host refused one.
bool writeStep(const FilterRecord* r, const WriteDescriptorProcs* p, PIWriteDescriptor token, const CloudSettings* s)
{
    bool good = true;
    for (int t = 0; t < kScriptTermCount; ++t) {
        const ScriptTerm& term = kScriptTerms[t];
        switch (term.kind) {
        case scriptSlider:
        case scriptSeed: good = p->putIntegerProc(token, term.key, s->*term.word) == noErr && good; break;
        case scriptSwitch: good = p->putBooleanProc(token, term.key, s->*term.word ? 1 : 0) == noErr && good; break;
        case scriptLight: {
            const double v = s->*term.real;
            good = p->putFloatProc(token, term.key, &v) == noErr && good;
            break;
        }
        case scriptCentre: {
            const double v = double(s->*term.real) * 100.0;  // exact: a float times 100 fits a double
            good = p->putUnitFloatProc(token, term.key, unitPercent, &v) == noErr && good;
            break;
        }
        case scriptWrap:
            good = p->putEnumeratedProc(token, term.key, wrapEnumeration, kWrapValueIds[wrapModeOf(s->*term.word)]) ==
                       noErr &&
                   good;
            break;
        case scriptColour: {
            const RGB48& c = s->*term.colour;
            PIWriteDescriptor inner = p->openWriteDescriptorProc();
            if (!inner) {
                good = false;
                break;
            }
            const double rgb[3] = {colourComponentToScript(c.red), colourComponentToScript(c.green),
                                   colourComponentToScript(c.blue)};
            const DescriptorKeyID keys[3] = {keyRed, keyGreen, keyBlue};
            for (int k = 0; k < 3; ++k) good = p->putFloatProc(inner, keys[k], &rgb[k]) == noErr && good;
            PIDescriptorHandle object = nullptr;
            good = p->closeWriteDescriptorProc(inner, &object) == noErr && object && good;
            if (object) good = p->putObjectProc(token, term.key, classRGBColor, object) == noErr && good;
            giveBack(r, object);  // the host copied it into the step
            break;
        }
        }
    }
    return good;
}

}  // namespace

ScriptPlay playRecordedStep(FilterContext* ctx)
{
    const FilterRecord* r = ctx->filter;
    PIDescriptorParameters* params = parametersOf(r);
    if (!params || !params->descriptor) return scriptAbsent;
    // A host that passes a step but no way to read it plays nothing.
    if (!canRead(params->readDescriptorProcs)) return scriptAbsent;
    const int16 play = params->playInfo;
    bool complete = false, valid = false;
    CloudSettings step = *settingsOf(ctx);
    readStep(r, params->readDescriptorProcs, params->descriptor, &step, &complete, &valid);
    if (giveBack(r, params->descriptor)) params->descriptor = nullptr;
    const bool usable = complete && valid;
    // A step that fails leaves the settings as they were.
    if (play == plugInDialogSilent && !usable) {
        failStep(ctx);
        return scriptFail;
    }
    *settingsOf(ctx) = step;
    if (play == plugInDialogSilent) return scriptApply;
    if (play == plugInDialogDisplay) return scriptShowDialog;
    return usable ? scriptApply : scriptShowDialog;
}

void recordStep(FilterContext* ctx)
{
    const FilterRecord* r = ctx->filter;
    PIDescriptorParameters* params = parametersOf(r);
    if (!params || !canWrite(params->writeDescriptorProcs)) return;
    // A step the host left with the plug-in goes back before a new one takes its place.
    if (params->descriptor && !giveBack(r, params->descriptor)) return;
    params->descriptor = nullptr;
    const WriteDescriptorProcs* p = params->writeDescriptorProcs;
    PIWriteDescriptor token = p->openWriteDescriptorProc();
    if (!token) return;
    const bool good = writeStep(r, p, token, settingsOf(ctx));
    PIDescriptorHandle written = nullptr;
    const OSErr closed = p->closeWriteDescriptorProc(token, &written);
    if (!good || closed != noErr || !written) {
        giveBack(r, written);
        return;
    }
    params->descriptor = written;
    params->recordInfo = plugInDialogOptional;
}
