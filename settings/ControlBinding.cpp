#include "settings/ControlBinding.h"

#include "host/Dialogs.h"

int32 controlValue[controlCount];
RGB48 controlColour[controlCount];
float controlVector[controlCount][3];
int32 controlLow[controlCount];
int32 controlHigh[controlCount];

namespace {

enum BindingTable { integerTable, colourTable, vectorTable };

struct Binding {
    int control;
    BindingTable table;
    int32 CloudSettings::*word;   // integer table
    RGB48 CloudSettings::*colour; // colour table
};

// Both directions walk this table in order.
const Binding kBindings[] = {
    {30, integerTable, &CloudSettings::autoPreview, nullptr},
    {105, integerTable, &CloudSettings::backlighting, nullptr},
    {7, colourTable, nullptr, &CloudSettings::cloudColor},
    {20, colourTable, nullptr, &CloudSettings::skyColor},
    {12, integerTable, &CloudSettings::harshness, nullptr},
    {37, integerTable, &CloudSettings::lumpScale, nullptr},
    {39, integerTable, &CloudSettings::mottling, nullptr},
    {51, integerTable, &CloudSettings::dispersion, nullptr},
    {55, integerTable, &CloudSettings::flatness, nullptr},
    {57, integerTable, &CloudSettings::density, nullptr},
    {59, integerTable, &CloudSettings::lumpiness, nullptr},
    {61, integerTable, &CloudSettings::smokiness, nullptr},
    {63, integerTable, &CloudSettings::detail, nullptr},
    {69, integerTable, &CloudSettings::zoom, nullptr},
    {65, integerTable, &CloudSettings::brightness, nullptr},
    {103, integerTable, &CloudSettings::skyLight, nullptr},
    {98, integerTable, &CloudSettings::puffs, nullptr},
    {101, vectorTable, nullptr, nullptr},  // lightX, lightY, lightZ
};

const int autoPreviewControl = 30;

}  // namespace

void settingsToControls(void* window, FilterContext* ctx)
{
    const CloudSettings* s = settingsOf(ctx);
    for (const Binding& b : kBindings) {
        switch (b.table) {
        case integerTable:
            controlValue[b.control] = s->*b.word;
            break;
        case colourTable:
            controlColour[b.control] = s->*b.colour;
            invalidateControl(window, b.control);
            break;
        case vectorTable:
            controlVector[b.control][0] = s->lightX;
            controlVector[b.control][1] = s->lightY;
            controlVector[b.control][2] = s->lightZ;
            invalidateControl(window, b.control);
            break;
        }
    }
}

void controlsToSettings(void*, FilterContext* ctx)
{
    CloudSettings* s = settingsOf(ctx);
    for (const Binding& b : kBindings) {
        switch (b.table) {
        case integerTable:
            s->*b.word = controlValue[b.control];
            break;
        case colourTable:
            s->*b.colour = controlColour[b.control];
            break;
        case vectorTable:
            s->lightX = controlVector[b.control][0];
            s->lightY = controlVector[b.control][1];
            s->lightZ = controlVector[b.control][2];
            break;
        }
    }
}

bool readAutoPreview(void*, FilterContext* ctx)
{
    settingsOf(ctx)->autoPreview = controlValue[autoPreviewControl];
    return controlValue[autoPreviewControl] != 0;
}
