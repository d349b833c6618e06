// Runs a fuzz target once on every input file named on the command line (files, or folders
// whose regular files are read in name order), without the fuzzing engine. Fails when an
// argument cannot be read or no input was found; a broken property aborts inside the target.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

namespace fs = std::filesystem;

bool CollectInputs(const fs::path& arg, std::vector<fs::path>* inputs) {
    std::error_code ec;
    if (fs::is_regular_file(arg, ec)) {
        inputs->push_back(arg);
        return true;
    }
    if (!fs::is_directory(arg, ec)) return false;
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(arg, ec)) {
        if (entry.is_regular_file(ec)) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    inputs->insert(inputs->end(), files.begin(), files.end());
    return !ec;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        if (!CollectInputs(argv[i], &inputs)) {
            std::fprintf(stderr, "cannot read %s\n", argv[i]);
            return 1;
        }
    }
    for (const fs::path& input : inputs) {
        std::ifstream file(input, std::ios::binary);
        if (!file) {
            std::fprintf(stderr, "cannot open %s\n", input.c_str());
            return 1;
        }
        const std::vector<char> bytes((std::istreambuf_iterator<char>(file)),
                                      std::istreambuf_iterator<char>());
        // An empty file still gets a valid pointer, as the fuzzing engine passes one.
        static const uint8_t kNoByte = 0;
        const uint8_t* pData =
            bytes.empty() ? &kNoByte : reinterpret_cast<const uint8_t*>(bytes.data());
        LLVMFuzzerTestOneInput(pData, bytes.size());
    }
    std::printf("replayed %zu inputs\n", inputs.size());
    return inputs.empty() ? 1 : 0;
}
