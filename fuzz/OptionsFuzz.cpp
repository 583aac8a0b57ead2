// nimbulo's command line, from the fuzzer's bytes: one argument a line.
#include <cstdint>
#include <string>
#include <vector>

#include "cli/Options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> words = {"nimbulo", "render"};
    std::string word;
    for (size_t k = 0; k < size; ++k) {
        if (data[k] == '\n' || data[k] == 0) {
            words.push_back(word);
            word.clear();
        } else {
            word += char(data[k]);
        }
    }
    words.push_back(word);
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(&w[0]);
    argv.push_back(nullptr);
    RenderJob job;
    bool help = false;
    parseArguments(int(words.size()), argv.data(), 2, -1, &job, &help);
    return 0;
}
