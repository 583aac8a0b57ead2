#include "host/CliRunner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace testhost {

std::string programFolder()
{
#ifdef _WIN32
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string full(path, length);
    return full.substr(0, full.find_last_of("\\/") + 1);
#else
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string full(path, length > 0 ? size_t(length) : 0);
    return full.substr(0, full.find_last_of('/') + 1);
#endif
}

Outcome run(const std::string& arguments)
{
    std::string errors = "cli-stderr.txt";
#ifdef _WIN32
    int code = -1;
    if (arguments.find_first_of("<>|") == std::string::npos) {
        // Started directly, standard error into the file: without the command
        // interpreter's process in between, which costs seconds when every
        // process start is emulated.
        SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
        // Shared for writing too: the last run's copy of this handle may close
        // a moment after its process has ended (under Wine, on a busy machine).
        HANDLE file = CreateFileA(errors.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        std::string command = "\"" + programFolder() + "nimbulo.exe\" " + arguments;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
        startup.hStdError = file;
        PROCESS_INFORMATION process = {};
        // A start the system refuses for the moment is tried again.
        bool started = false;
        for (int attempt = 0; file != INVALID_HANDLE_VALUE && !started && attempt < 3; ++attempt) {
            if (attempt > 0) Sleep(200);
            started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                     &process) != 0;
        }
        if (started) {
            WaitForSingleObject(process.hProcess, INFINITE);
            DWORD exitCode = 0;
            GetExitCodeProcess(process.hProcess, &exitCode);
            code = int(exitCode);
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    } else {
        // Pipes and redirections need the command interpreter.
        std::string command = "\"\"" + programFolder() + "nimbulo.exe\" " + arguments + " 2>" + errors + "\"";
        code = std::system(command.c_str());
    }
#else
    std::string command = "'" + programFolder() + "nimbulo' " + arguments + " 2>" + errors;
    int status = std::system(command.c_str());
    int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    std::ifstream in(errors);
    std::stringstream text;
    text << in.rdbuf();
    return Outcome{code, text.str()};
}

bool exists(const std::string& path)
{
    std::ifstream in(path);
    return in.good();
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void savePicture(const std::string& path, const Picture& p)
{
    Image image;
    image.width = p.width;
    image.height = p.height;
    image.channels = p.planes;
    image.pixels = p.pixels;
    std::string error;
    ASSERT_TRUE(writePng(path, image, &error)) << error;
}

Image loadPicture(const std::string& path)
{
    Image image;
    std::string error;
    EXPECT_EQ(readImage(path, 0, 300000, &image, &error), imageOk) << error;
    return image;
}

Image imageOf(const Picture& p)
{
    Image image;
    image.width = p.width;
    image.height = p.height;
    image.channels = p.planes;
    image.pixels = p.pixels;
    return image;
}

}  // namespace testhost
