// Writes the arm's part files and the room's bitmaps into the folder named on the command line.
#include "tools/gen3ds/AssetWriter.h"

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const auto problems = gen3ds::AssetWriter::writeAll(argv[1]);
    for (const auto &p : problems)
        std::fprintf(stderr, "korvane-gen3ds: %s\n", p.c_str());
    return problems.empty() ? 0 : 1;
}
