#include "resources/gallery/Looks.h"

#include <cmath>
#include <cstring>

#include "settings/PresetFile.h"

// Each row was drawn and looked at over the contact sheet's scene; changing
// one means redrawing the sheet (scripts/gallery) and looking again.
// clang-format off
const Look kLooks[] = {
    // file, title, description,
    //   seed, puffs, lump scale, flatness, density, lumpiness, detail, dispersion,
    //   sky light, brightness, smokiness, harshness, mottling, zoom, backlighting,
    //   cloud colour, sky colour, light x, y, centre u, v
    {"fair-weather-cumulus", "Fair-weather cumulus", "White heaps on a clear blue summer sky, lit from the upper left.",
     812, 60, 33, 77, 62, 29, 70, 61, 59, 29, 11, 31, 62, 44, false, 0xFFFFFF, 0x6A9BD8, -0.55f, -0.45f, 0.5f, 0.5f},
    {"towering-cumulus", "Towering cumulus", "One tall, bright cloud with a flat base, lit from high above.",
     88, 30, 33, 90, 75, 29, 85, 61, 59, 29, 11, 31, 62, 50, false, 0xFFFFFF, 0x3F75C0, -0.3f, -0.8f, 0.45f, 0.75f},
    {"thunderhead", "Thunderhead", "A heavy storm cloud, bright above and black along its base.",
     450, 90, 33, 100, 88, 29, 70, 61, 59, 10, 75, 80, 62, 52, false, 0xD8DCE2, 0x3E4A5E, 0.2f, -0.9f, 0.5f, 0.68f},
    {"stormy-overcast", "Stormy overcast", "Dark, smoky cloud from edge to edge before the rain.",
     77, 100, 33, 77, 90, 29, 70, 61, 59, 5, 80, 31, 62, 92, false, 0x707680, 0x3C414A, 0.0f, -0.3f, 0.5f, 0.5f},
    {"grey-overcast", "Grey overcast", "A soft, light grey lid on the sky, a little lumpy.",
     99, 100, 33, 77, 68, 60, 70, 61, 59, 50, 30, 31, 62, 96, false, 0xEEF0F3, 0x7F8DA3, -0.3f, -0.6f, 0.5f, 0.5f},
    {"sunset", "Sunset", "Peach-lit clouds with violet shadows against an evening sky.",
     333, 60, 33, 77, 55, 29, 70, 61, 85, 29, 11, 31, 62, 44, false, 0xFFC48A, 0x7A4E8C, 0.9f, 0.2f, 0.5f, 0.5f},
    {"golden-hour", "Golden hour", "Warm, low sunlight from the right in a sky turning amber.",
     905, 50, 33, 77, 60, 29, 70, 61, 60, 29, 11, 31, 62, 44, false, 0xFFE0A0, 0xD89A5A, 0.75f, -0.3f, 0.5f, 0.5f},
    {"cotton-candy-dawn", "Cotton candy dawn", "A pink cloud in the pale blue of early morning.",
     2001, 70, 33, 77, 58, 29, 70, 61, 70, 29, 11, 31, 62, 44, false, 0xFFD0E2, 0x9FC4EE, 0.5f, -0.4f, 0.5f, 0.5f},
    {"silver-lining", "Silver lining", "Lit from behind: a dark body with glowing edges.",
     560, 55, 33, 77, 60, 29, 70, 61, 59, 29, 11, 31, 62, 44, true, 0xFFFFFF, 0x5A86C0, 0.1f, 0.2f, 0.5f, 0.5f},
    {"moonlit-night", "Moonlit night", "Pale, moonlit edges on a cloud in a deep blue night sky.",
     1234, 45, 33, 77, 60, 29, 70, 61, 59, 20, 11, 31, 62, 44, true, 0xB8C4E0, 0x141C34, -0.3f, 0.3f, 0.5f, 0.5f},
    {"high-wisps", "High wisps", "Ragged, thin shreds of cloud scattered high on a deep blue.",
     300, 100, 5, 0, 36, 100, 100, 80, 59, 29, 11, 31, 62, 48, false, 0xF4F8FF, 0x4A86D4, -0.54f, -0.54f, 0.5f, 0.4f},
    {"little-puffs", "Little puffs", "A small, lumpy cloud far off on a fine day.",
     42, 100, 100, 77, 66, 70, 80, 61, 59, 29, 11, 31, 62, 25, false, 0xFFFFFF, 0x6FA2DE, -0.6f, -0.5f, 0.5f, 0.5f},
    {"dust-storm", "Dust storm", "Sand-coloured haze rolling in, thick and smoky.",
     1560, 100, 33, 77, 70, 29, 70, 61, 40, 29, 85, 10, 62, 70, false, 0xD8B07A, 0xC9A27A, 0.6f, -0.2f, 0.5f, 0.7f},
    {"rising-mist", "Rising mist", "Soft white vapour rising from below, without edges.",
     222, 100, 33, 77, 38, 29, 40, 61, 59, 80, 100, 0, 62, 70, false, 0xF6F8F8, 0x8EA4AC, 0.0f, -0.2f, 0.5f, 1.15f},
    {"cold-clear-air", "Cold clear air", "A crisp white cloud with cool blue shadows in a winter sky.",
     1313, 60, 33, 77, 60, 29, 70, 61, 90, 29, 11, 31, 62, 44, false, 0xF2FAFF, 0x2E6FB0, -0.7f, -0.2f, 0.55f, 0.5f},
    {"afternoon-haze", "Afternoon haze", "A soft cloud melting into a pale, hazy sky.",
     2024, 60, 33, 77, 55, 29, 70, 61, 59, 40, 60, 10, 62, 44, false, 0xFFFFFF, 0xB8CCE0, -0.4f, -0.5f, 0.5f, 0.5f},
};
// clang-format on
const int kLookCount = int(sizeof kLooks / sizeof kLooks[0]);

static RGB48 colourOf(uint32_t hex)
{
    return RGB48{uint16(((hex >> 16) & 255) << 8), uint16(((hex >> 8) & 255) << 8), uint16((hex & 255) << 8)};
}

CloudSettings settingsOfLook(const Look& look)
{
    CloudSettings s;
    std::memset(&s, 0, sizeof s);
    applyDefaults(&s);
    s.seed = look.seed;
    const struct {
        int32_t CloudSettings::*field;
        int32_t value;
    } sliders[] = {
        {&CloudSettings::puffs, look.puffs},
        {&CloudSettings::lumpScale, look.lumpScale},
        {&CloudSettings::flatness, look.flatness},
        {&CloudSettings::density, look.density},
        {&CloudSettings::lumpiness, look.lumpiness},
        {&CloudSettings::detail, look.detail},
        {&CloudSettings::dispersion, look.dispersion},
        {&CloudSettings::skyLight, look.skyLight},
        {&CloudSettings::brightness, look.brightness},
        {&CloudSettings::smokiness, look.smokiness},
        {&CloudSettings::harshness, look.harshness},
        {&CloudSettings::mottling, look.mottling},
        {&CloudSettings::zoom, look.zoom},
    };
    for (const auto& slider : sliders) s.*slider.field = slider.value;
    s.backlighting = look.backlighting ? 1 : 0;
    s.cloudColor = colourOf(look.cloudColour);
    s.skyColor = colourOf(look.skyColour);
    // The pad's height for its point, as the dialog's pad gives it.
    s.lightX = look.lightX;
    s.lightY = look.lightY;
    double rest = 1.0 - double(look.lightX) * look.lightX - double(look.lightY) * look.lightY;
    s.lightZ = float(std::sqrt(rest > 0.0 ? rest : 0.0));
    s.centreU = look.centreU;
    s.centreV = look.centreV;
    bringToFilePrecision(&s);
    return s;
}
