// nimbulo: paints clouds over images by running the Nimbulo filter through
// its entry point, the way an image editor does. This file dispatches the
// commands; Options, Render, PresetFiles and Bench hold them.
#include <cstdio>
#include <string>

#include "Version.h"
#include "cli/Bench.h"
#include "cli/Commands.h"
#include "cli/Options.h"
#include "cli/PresetFiles.h"
#include "cli/Render.h"
#include "cli/System.h"

int main(int argc, char** argv)
{
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "--version") {
        std::printf("nimbulo %s\n", NIMBULO_VERSION_TEXT);
        return exitOk;
    }
    if (command == "--help" || command == "-h" || command == "help") {
        printMainHelp(stdout);
        return exitOk;
    }
    int first = 2;
    if (command == "preset" && argc > 2 && std::string(argv[2]) == "show") {
        command = "preset show";
        first = 3;
    }
    if (command != "render" && command != "bench" && command != "preset show") {
        printMainHelp(stderr);
        return exitUsage;
    }
    RenderJob job;
    bool helpAsked = false;
    int inputs = command == "bench" ? 0 : (command == "preset show" ? 1 : -1);
    int parsed = parseArguments(argc, argv, first, inputs, &job, &helpAsked);
    if (helpAsked) {
        if (command == "render")
            printRenderHelp(stdout);
        else
            printMainHelp(stdout);
        return exitOk;
    }
    if (parsed != exitOk) return parsed;
    if (job.threads) setRenderThreads(job.threads);
    if (command == "preset show") return showPreset(job);
    return command == "render"
               ? renderCommand(job)
               : runBench(job.pluginPath, job.presetPath, job.newWidth ? job.newWidth : 4000,
                          job.newHeight ? job.newHeight : 3000, job.threads, job.hasWrap ? job.wrap : -1);
}
