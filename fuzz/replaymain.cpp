// SPDX-License-Identifier: GPL-3.0-or-later
// Replays fuzzer inputs without libFuzzer, so every test run goes through the
// corpus with the normal compiler: each argument is a file or a folder of
// files. With --every-prefix each input is also fed cut at every length.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);

namespace {

std::vector<std::filesystem::path> inputs(const std::filesystem::path &path)
{
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_directory(path)) {
        for (const auto &entry : std::filesystem::directory_iterator(path))
            if (entry.is_regular_file())
                files.push_back(entry.path());
    } else {
        files.push_back(path);
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

int main(int argc, char **argv)
{
    LLVMFuzzerInitialize(&argc, &argv);
    bool everyPrefix = false;
    long replayed = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--every-prefix") {
            everyPrefix = true;
            continue;
        }
        if (!std::filesystem::exists(arg)) {
            std::fprintf(stderr, "No such input: %s\n", arg.c_str());
            return 2;
        }
        for (const auto &file : inputs(arg)) {
            std::ifstream in(file, std::ios::binary);
            const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
            const auto *data = reinterpret_cast<const uint8_t *>(bytes.data());
            if (everyPrefix) {
                for (size_t n = 0; n < bytes.size(); ++n, ++replayed)
                    LLVMFuzzerTestOneInput(data, n);
            }
            LLVMFuzzerTestOneInput(data, bytes.size());
            ++replayed;
        }
    }
    std::printf("Replayed %ld inputs\n", replayed);
    return replayed > 0 ? 0 : 2;
}
