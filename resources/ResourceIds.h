// Every id of the module's resources and of its dialogs' controls, by name.
// The resource script and the code both include it, so it holds nothing but
// #defines. The numbers are what hosts, saved dialogs and tests see; they
// never change.
#ifndef NIMBULO_RESOURCE_IDS_H
#define NIMBULO_RESOURCE_IDS_H

// ---- Dialog templates, by name. RESOURCE_NAME(IDD_MAIN) is the name as text. ----
#define IDD_MAIN DISSOLVESANSPARAM
#define IDD_ABOUT ABOUTBOX
#define IDD_OUT_OF_MEMORY NOT_ENOUGH_MEMORY
#define IDD_NO_BROWSER COMPLAIN_KZ
#define IDD_OPEN_PANEL FANCY_OPEN
#define RESOURCE_NAME_TEXT(name) #name
#define RESOURCE_NAME(name) RESOURCE_NAME_TEXT(name)

// ---- The plug-in property list. ----
#define IDR_PIPL 16000

// ---- Controls of the main dialog. ----
// Push buttons and the picture.
#define IDC_CANCEL 2
#define IDC_OK 3
#define IDC_CLOUDS 17
#define IDC_SAVE 26
#define IDC_ZOOM_IN 32       // "+"
#define IDC_ZOOM_OUT 33      // "-"
#define IDC_ZOOM_READOUT 34  // "%": a click shows actual pixels
#define IDC_LOAD 35
#define IDC_DICE 72
#define IDC_UNDO 74
#define IDC_ECCE 75
#define IDC_ABOUT 25  // the picture that opens the about box
#define IDC_PREVIEW 18
#define IDC_STATUS_LINE 76  // the preset's name, or a message

// Colour swatches; the third is placed out of sight and never used.
#define IDC_CLOUD_COLOUR 7
#define IDC_SKY_COLOUR 20
#define IDC_SPARE_COLOUR 29
#define IDC_CLOUD_COLOUR_LABEL 42
#define IDC_SKY_COLOUR_LABEL 44

// Toggles with their labels, and the light's direction pad.
#define IDC_AUTO_PREVIEW 30
#define IDC_AUTO_PREVIEW_LABEL 31
#define IDC_BACKLIGHTING 105
#define IDC_BACKLIGHTING_LABEL 106
#define IDC_LIGHT_PAD 101
// Seamless clouds: a strip of three segments (off, left to right, both ways).
#define IDC_SEAMLESS 107
#define IDC_SEAMLESS_LABEL 108

// Sliders: label, track and number field of each.
#define IDC_PUFFS_LABEL 97
#define IDC_PUFFS_TRACK 98
#define IDC_PUFFS_VALUE 99
#define IDC_LUMP_SCALE_LABEL 36
#define IDC_LUMP_SCALE_TRACK 37
#define IDC_LUMP_SCALE_VALUE 86
#define IDC_FLATNESS_LABEL 54
#define IDC_FLATNESS_TRACK 55
#define IDC_FLATNESS_VALUE 90
#define IDC_DENSITY_LABEL 56
#define IDC_DENSITY_TRACK 57
#define IDC_DENSITY_VALUE 91
#define IDC_LUMPINESS_LABEL 58
#define IDC_LUMPINESS_TRACK 59
#define IDC_LUMPINESS_VALUE 92
#define IDC_DETAIL_LABEL 62
#define IDC_DETAIL_TRACK 63
#define IDC_DETAIL_VALUE 94
#define IDC_DISPERSION_LABEL 50
#define IDC_DISPERSION_TRACK 51
#define IDC_DISPERSION_VALUE 83
#define IDC_SKY_LIGHT_LABEL 102
#define IDC_SKY_LIGHT_TRACK 103
#define IDC_SKY_LIGHT_VALUE 104
#define IDC_BRIGHTNESS_LABEL 64
#define IDC_BRIGHTNESS_TRACK 65
#define IDC_BRIGHTNESS_VALUE 81
#define IDC_SMOKINESS_LABEL 60
#define IDC_SMOKINESS_TRACK 61
#define IDC_SMOKINESS_VALUE 93
#define IDC_HARSHNESS_LABEL 22
#define IDC_HARSHNESS_TRACK 12
#define IDC_HARSHNESS_VALUE 79
#define IDC_MOTTLING_LABEL 38
#define IDC_MOTTLING_TRACK 39
#define IDC_MOTTLING_VALUE 85
#define IDC_ZOOM_LABEL 68
#define IDC_ZOOM_TRACK 69
#define IDC_ZOOM_VALUE 95

// A label placed out of sight.
#define IDC_HIDDEN_LABEL 40

// ---- Controls of the other dialogs. ----
#define IDC_STATIC -1
#define IDC_WEB_SITE 5     // the about box's button
#define IDC_THUMBNAIL 123  // the open dialog's preset picture

// ---- Bitmaps. ----
#define IDB_TRACK_LIGHT 101
#define IDB_TRACK_SHAPE 102
#define IDB_BUTTON_ECCE 111
#define IDB_KNOB 120
#define IDB_ABOUT_NAME 127
#define IDB_ABOUT_LOGO 136
#define IDB_TOGGLE_OFF 148
#define IDB_TOGGLE_OFF_PRESSED 149
#define IDB_TOGGLE_ON 150
#define IDB_TOGGLE_ON_PRESSED 151
#define IDB_BUTTON_UNDO 152
#define IDB_BUTTON_CLOUDS 153
#define IDB_BUTTON_SAVE 154
#define IDB_ABOUT_TEXT 177
#define IDB_LIGHT_PAD 178
#define IDB_ABOUT_MARK 183
#define IDB_PAGE 239  // the dialog's background, as large as its client area
#define IDB_BUTTON_LOAD 240
#define IDB_BUTTON_DICE 241
#define IDB_SEAMLESS_OFF 242  // the seamless strip with each segment chosen
#define IDB_SEAMLESS_ACROSS 243
#define IDB_SEAMLESS_BOTH 244

// ---- The fonts the module draws its artwork with at screen scales other than 100 %. ----
#define IDR_FONT_REGULAR 301  // Liberation Sans
#define IDR_FONT_BOLD 302     // Liberation Sans Bold

// ---- Icons and cursors. ----
#define IDI_MARKER 122   // the sun on the light pad
#define IDI_CAUTION 148  // the messages' sign
#define IDCUR_HAND_CLOSED 107
#define IDCUR_HAND_OPEN 108
#define IDCUR_HAND_POINTING 109

// ---- Entries of the label name table (controlName). ----
#define NAME_AUTO_PREVIEW 2
#define NAME_SKY_LIGHT 6
#define NAME_PUFFS 7
#define NAME_HARSHNESS 9
#define NAME_LUMP_SCALE 11
#define NAME_MOTTLING 12
#define NAME_CLOUD_COLOR 13
#define NAME_SKY_COLOR 14
#define NAME_DISPERSION 17
#define NAME_LUMPINESS 18
#define NAME_SMOKINESS 19
#define NAME_BACKLIGHTING 20
#define NAME_DETAIL 22
#define NAME_BRIGHTNESS 23
#define NAME_ZOOM 25
#define NAME_FLATNESS 27
#define NAME_DENSITY 28
#define NAME_RANDOM_SETTINGS 33
#define NAME_PLAIN_CLOUD 34
#define NAME_CLOUD_COLOUR_PROMPT 35
#define NAME_SKY_COLOUR_PROMPT 41
#define NAME_HIDDEN_LABEL 44
#define NAME_SEAMLESS 45
#define NAME_NONE -1  // the status line draws its own text

#endif
