// The Load and Save buttons through the system's real file dialogs: the
// proposed names, the folder kept between dialogs, the thumbnail written and
// shown, and files that cannot be written or read.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "host/Editor.h"
#include "host/Preview.h"
#include "resources/ResourceIds.h"
#include "settings/PresetFile.h"

using namespace testhost;

namespace {

const char* const saveTitle = "Save a settings file";
const char* const openTitle = "Open a settings file";

// A presets folder at a fixed place of the test's Wine drive, so the file
// dialogs look the same on every run.
const std::string presetsFolder = "C:\\nimbulo-test-presets\\";

void freshPresetsFolder()
{
    for (const char* name : {"Storm.k00", "Empty.k00", "Other.k00"}) DeleteFileA((presetsFolder + name).c_str());
    RemoveDirectoryA((presetsFolder + "Folder").c_str());
    CreateDirectoryA(presetsFolder.c_str(), nullptr);
    CreateDirectoryA((presetsFolder + "Folder").c_str(), nullptr);
}

HWND fileNameBox(HWND fileDialog)
{
    HWND box = GetDlgItem(fileDialog, cmb13);
    return box ? box : GetDlgItem(fileDialog, edt1);
}

std::string proposedName(HWND fileDialog)
{
    char text[300] = "";
    GetWindowTextA(fileNameBox(fileDialog), text, sizeof text);
    return text;
}

std::string currentFolder(HWND fileDialog)
{
    char path[MAX_PATH] = "";
    SendMessageA(fileDialog, CDM_GETFOLDERPATH, sizeof path, reinterpret_cast<LPARAM>(path));
    return path;
}

// Types a folder's path as the file name and opens it, as a user would.
void navigate(HWND fileDialog, const std::string& folder)
{
    SetWindowTextA(fileNameBox(fileDialog), folder.c_str());
    SendMessageA(fileDialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), LPARAM(GetDlgItem(fileDialog, IDOK)));
    pump();
}

// Types `path` as the file name and presses the dialog's OK button.
void choose(HWND fileDialog, const std::string& path)
{
    SetWindowTextA(fileNameBox(fileDialog), path.c_str());
    PostMessageA(fileDialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), LPARAM(GetDlgItem(fileDialog, IDOK)));
}

// Selects the item named `name` in the file dialog's list.
bool selectInList(HWND fileDialog, const char* name)
{
    HWND view = FindWindowExA(fileDialog, nullptr, "SHELLDLL_DefView", nullptr);
    HWND list = view ? FindWindowExA(view, nullptr, "SysListView32", nullptr) : nullptr;
    if (!list) return false;
    int count = int(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[MAX_PATH] = "";
        LVITEMA item = {};
        item.iSubItem = 0;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(list, LVM_GETITEMTEXTA, WPARAM(i), LPARAM(&item));
        if (_strnicmp(text, name, std::strlen(name)) != 0) continue;
        LVITEMA state = {};
        state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(list, LVM_SETITEMSTATE, WPARAM(i), LPARAM(&state));
        pump();
        return true;
    }
    return false;
}

// The 64 x 64 picture the open dialog's panel shows, read off the screen.
std::vector<uint8> panelPicture(HWND fileDialog)
{
    HWND panel = nullptr;
    for (HWND child = GetWindow(fileDialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (GetDlgItem(child, IDC_THUMBNAIL)) panel = child;
    std::vector<uint8> picture;
    if (!panel) return picture;
    RECT r;
    GetWindowRect(GetDlgItem(panel, IDC_THUMBNAIL), &r);
    MapWindowPoints(nullptr, fileDialog, reinterpret_cast<POINT*>(&r), 2);
    Screenshot shot = captureAsIs(fileDialog);
    int left = (r.left + r.right) / 2 - 32, top = (r.top + r.bottom) / 2 - 32;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            uint32_t p = shot.pixel(left + x, top + y);
            picture.insert(picture.end(), {uint8(p >> 16), uint8(p >> 8), uint8(p)});
        }
    return picture;
}

std::vector<uint8> greyRamp()
{
    std::vector<uint8> ramp(thumbnailBytes);
    fillThumbnailRamp(ramp.data());
    return ramp;
}

}  // namespace

TEST(FileDialogs, SaveProposesTheNameWithoutItsExtension)
{
    const struct {
        const char *name, *proposed;
    } names[] = {{"random settings", "random settings"}, {"plain", "plain"}, {"Storm.k00", "Storm"}};
    for (const auto& n : names) {
        Editor host;
        host.call(filterSelectorParameters);
        std::strcpy(host.settings()->presetName, n.name);
        host.dialogs.expect(saveTitle, [&](HWND save) {
            EXPECT_EQ(proposedName(save), n.proposed);
            PostMessageA(save, WM_COMMAND, IDCANCEL, 0);  // Cancel writes nothing, renames nothing
        });
        host.dialogs.expect("Nimbulo", [&](HWND d) {
            sendCommand(d, IDC_SAVE);
            EXPECT_STREQ(host.settings()->presetName, n.name);
            sendCommand(d, IDC_OK);
        });
        EXPECT_EQ(host.run(false), noErr);
        EXPECT_EQ(host.dialogs.waiting(), 0u);
    }
}

TEST(FileDialogs, SaveAndLoadARoundTripWithItsThumbnail)
{
    freshPresetsFolder();
    const std::string storm = presetsFolder + "Storm.k00";
    CloudSettings saved{};
    std::vector<uint8> preview;
    {
        Editor host(32, 20);
        host.dialogs.expect(saveTitle, [&](HWND save) { choose(save, storm); });
        host.dialogs.expect(saveTitle, [&](HWND save) {
            EXPECT_EQ(currentFolder(save) + "\\", presetsFolder);  // the next dialog opens where the last saved
            PostMessageA(save, WM_COMMAND, IDCANCEL, 0);
        });
        host.dialogs.expect("Nimbulo", [&](HWND d) {
            PixelRect track = windowRect(d, IDC_DENSITY_TRACK);
            click(d, trackX(track, 12), middleY(track));
            const uint8* out = static_cast<const uint8*>(host.record->outData);
            preview.assign(out, out + 32 * 20 * 3);
            sendCommand(d, IDC_SAVE);
            EXPECT_STREQ(host.settings()->presetName, "Storm.k00");
            EXPECT_STREQ(host.settings()->presetFolder, presetsFolder.c_str());
            expectScreenshot(d, "dialog-saved");  // the status line names the file
            sendCommand(d, IDC_SAVE);
            saved = *host.settings();
            sendCommand(d, IDC_OK);
        });
        ASSERT_EQ(host.run(true), noErr);
    }
    std::vector<uint8_t> file = readBytes(storm);
    ASSERT_EQ(file.size(), size_t(presetBytesWithThumbnail));
    // The preview's 32 x 20 pixels in the middle of the thumbnail, the ramp around.
    std::vector<uint8> expected = greyRamp();
    for (int y = 0; y < 20; ++y)
        std::memcpy(&expected[size_t((22 + y) * 64 + 16) * 3], &preview[size_t(y) * 32 * 3], 32 * 3);
    std::vector<uint8> thumbnail(file.begin() + 272, file.begin() + 272 + thumbnailBytes);
    EXPECT_TRUE(thumbnail == expected);

    // Loading it back: the panel shows its picture, a folder shows the ramp,
    // and the settings come back with a new render.
    Editor host(32, 20);
    host.dialogs.expect(openTitle, [&](HWND open) {
        navigate(open, presetsFolder);
        ASSERT_TRUE(selectInList(open, "Folder"));
        EXPECT_TRUE(panelPicture(open) == greyRamp());
        ASSERT_TRUE(selectInList(open, "Storm"));
        EXPECT_TRUE(panelPicture(open) == expected);
        expectScreenshot(open, "open-dialog");
        choose(open, storm);
    });
    host.dialogs.expect("Nimbulo", [&](HWND d) {
        int displays = host.counts.display;
        sendCommand(d, IDC_LOAD);
        EXPECT_EQ(host.settings()->density, 12);
        EXPECT_EQ(host.settings()->seed, saved.seed);
        EXPECT_STREQ(host.settings()->presetName, "Storm.k00");
        EXPECT_GT(host.counts.display, displays);
        sendCommand(d, IDC_OK);
    });
    EXPECT_EQ(host.run(true), noErr);
    EXPECT_EQ(host.dialogs.waiting(), 0u);
}

TEST(FileDialogs, SaveThenLoadThenOkPaintsWhatOkPaints)
{
    freshPresetsFolder();
    const std::string storm = presetsFolder + "Storm.k00";
    // A light the pad makes (no whole hundredths), backlit so that all of it shows.
    auto aimAndBacklight = [](HWND d) {
        PixelRect r = windowRect(d, IDC_LIGHT_PAD);
        press(d, r.left + 43, r.top + 41);
        moveTo(d, r.left + 43 + 23, r.top + 41 - 9);
        release(d, r.left + 43 + 23, r.top + 41 - 9);
        PixelRect box = windowRect(d, IDC_BACKLIGHTING);
        click(d, middleX(box), middleY(box));
    };
    std::vector<uint8> pictures[2];
    for (int roundTrip = 0; roundTrip < 2; ++roundTrip) {
        Editor host(48, 32);
        if (roundTrip) {
            host.dialogs.expect(saveTitle, [&](HWND save) { choose(save, storm); });
            host.dialogs.expect(openTitle, [&](HWND open) { choose(open, storm); });
        }
        host.dialogs.expect("Nimbulo", [&](HWND d) {
            aimAndBacklight(d);
            if (roundTrip) {
                sendCommand(d, IDC_SAVE);
                sendCommand(d, IDC_LOAD);
            }
            sendCommand(d, IDC_OK);
        });
        ASSERT_EQ(host.run(true), noErr) << roundTrip;
        EXPECT_EQ(host.dialogs.waiting(), 0u);
        pictures[roundTrip] = host.output;
    }
    EXPECT_TRUE(pictures[0] == pictures[1]);
}

TEST(FileDialogs, OneAtATimeAndCancelChangesNothing)
{
    freshPresetsFolder();
    Editor host;
    HWND mainDialog = nullptr;
    host.dialogs.expect(saveTitle, [&](HWND save) {
        sendCommand(mainDialog, IDC_LOAD);  // refused while the save dialog is up
        PostMessageA(save, WM_COMMAND, IDCANCEL, 0);
    });
    host.dialogs.expect(openTitle, [&](HWND open) { PostMessageA(open, WM_COMMAND, IDCANCEL, 0); });
    host.dialogs.expect("Nimbulo", [&](HWND d) {
        mainDialog = d;
        PixelRect track = windowRect(d, IDC_DENSITY_TRACK);
        click(d, trackX(track, 12), middleY(track));
        CloudSettings before = *host.settings();
        sendCommand(d, IDC_SAVE);
        sendCommand(d, IDC_LOAD);
        EXPECT_EQ(std::memcmp(host.settings(), &before, sizeof before), 0);
        sendCommand(d, IDC_OK);
    });
    EXPECT_EQ(host.run(true), noErr);
    EXPECT_EQ(host.dialogs.opened, (std::vector<std::string>{"Nimbulo", saveTitle, openTitle}));
}

TEST(FileDialogs, FilesThatCannotBeWrittenOrReadAreNamedAndChangeNothing)
{
    freshPresetsFolder();
    std::ofstream(presetsFolder + "Empty.k00").flush();
    const std::string unwritable = "Z:\\proc\\Nimbulo.k00";
    Editor host;
    std::vector<std::string> messages;
    auto readMessage = [&](HWND box) {
        char text[600] = "";
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        messages.push_back(text);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    };
    // The main dialog opens first: its handler comes first among those titled "Nimbulo".
    host.dialogs.expect("Nimbulo", [&](HWND d) {
        PixelRect track = windowRect(d, IDC_DENSITY_TRACK);
        click(d, trackX(track, 12), middleY(track));
        std::strcpy(host.settings()->presetName, "mine");
        CloudSettings before = *host.settings();
        int displays = host.counts.display;
        sendCommand(d, IDC_SAVE);
        sendCommand(d, IDC_LOAD);
        EXPECT_EQ(std::memcmp(host.settings(), &before, sizeof before), 0);
        EXPECT_LE(host.counts.display, displays + 2);  // repaints after the dialogs, no render
        sendCommand(d, IDC_UNDO);                      // Undo goes back past the drag: the failed load was no step
        EXPECT_EQ(host.settings()->density, 66);
        sendCommand(d, IDC_OK);
    });
    host.dialogs.expect(saveTitle, [&](HWND save) { choose(save, unwritable); });
    host.dialogs.expect("Nimbulo", readMessage);
    host.dialogs.expect(openTitle, [&](HWND open) { choose(open, presetsFolder + "Empty.k00"); });
    host.dialogs.expect("Nimbulo", readMessage);
    EXPECT_EQ(host.run(true), noErr);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_NE(messages[0].find("could not be saved"), std::string::npos) << messages[0];
    EXPECT_NE(messages[0].find(unwritable), std::string::npos) << messages[0];
    EXPECT_NE(messages[1].find("could not be read"), std::string::npos) << messages[1];
    EXPECT_NE(messages[1].find("Empty.k00"), std::string::npos) << messages[1];
}
