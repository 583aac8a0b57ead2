#include "host/DpiRuns.h"

#ifdef _WIN32
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace testhost {

int runDpi()
{
    const char* text = std::getenv("NIMBULO_TEST_DPI");
    return text ? std::atoi(text) : 0;
}

void setSystemDpi(int dpi)
{
    HKEY desktop;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &desktop,
                        nullptr) != ERROR_SUCCESS)
        return;
    DWORD value = DWORD(dpi);
    if (dpi)
        RegSetValueExA(desktop, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    else
        RegDeleteValueA(desktop, "LogPixels");
    RegCloseKey(desktop);
}

DWORD runSelfAtDpi(int dpi, const char* filter)
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string command = std::string("\"") + self + "\" --gtest_filter=" + filter;
    SetEnvironmentVariableA("NIMBULO_TEST_DPI", std::to_string(dpi).c_str());
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    DWORD code = 99;
    if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    SetEnvironmentVariableA("NIMBULO_TEST_DPI", nullptr);
    return code;
}

void expectEachDpiPasses(const char* filter)
{
    for (int dpi : {96, 120, 144, 192}) {
        setSystemDpi(dpi);
        EXPECT_EQ(runSelfAtDpi(dpi, filter), 0u) << "the tests at " << dpi << " DPI failed (their output is above)";
    }
    setSystemDpi(0);
}

}  // namespace testhost
#endif
