// Runs a fuzz target without libFuzzer: every file of a corpus folder, then a fixed number of
// seeded mutations (byte flips, truncations, splices, random runs) of those files.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

std::vector<uint8_t> readFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void run(const std::vector<uint8_t> &input)
{
    // Copy into an exact-size heap block so ASan sees any read past the end.
    auto *copy = static_cast<uint8_t *>(std::malloc(input.empty() ? 1 : input.size()));
    std::copy(input.begin(), input.end(), copy);
    LLVMFuzzerTestOneInput(copy, input.size());
    std::free(copy);
}

std::vector<uint8_t> mutate(std::vector<uint8_t> input, std::mt19937 &rng)
{
    const int kind = static_cast<int>(rng() % 5);
    if (input.empty() || kind == 0) {
        const size_t n = rng() % 256;
        for (size_t i = 0; i < n; ++i)
            input.push_back(static_cast<uint8_t>(rng()));
        return input;
    }
    switch (kind) {
    case 1: // flip a few bytes
        for (int i = 0, n = 1 + static_cast<int>(rng() % 8); i < n; ++i)
            input[rng() % input.size()] = static_cast<uint8_t>(rng());
        break;
    case 2: // truncate
        input.resize(rng() % input.size());
        break;
    case 3: { // extreme values in a 4-byte window
        const size_t at = rng() % input.size();
        const uint8_t v = (rng() & 1) ? 0xFF : 0x00;
        for (size_t i = at; i < input.size() && i < at + 4; ++i)
            input[i] = v;
        break;
    }
    default: { // duplicate a slice
        const size_t from = rng() % input.size();
        const size_t len = rng() % (input.size() - from + 1);
        input.insert(input.begin() + static_cast<long>(rng() % input.size()), input.begin() + static_cast<long>(from),
                     input.begin() + static_cast<long>(from + len));
        break;
    }
    }
    return input;
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::vector<uint8_t>> corpus;
    if (argc > 1 && std::filesystem::is_directory(argv[1])) {
        for (const auto &entry : std::filesystem::directory_iterator(argv[1]))
            if (entry.is_regular_file())
                corpus.push_back(readFile(entry.path()));
    }
    const long iterations = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 10000;
    for (const auto &input : corpus)
        run(input);
    if (corpus.empty())
        corpus.emplace_back();
    std::mt19937 rng(12345);
    for (long i = 0; i < iterations; ++i)
        run(mutate(corpus[static_cast<size_t>(rng()) % corpus.size()], rng));
    std::printf("%zu kept inputs and %ld mutations ran clean\n", corpus.size(), iterations);
    return 0;
}
