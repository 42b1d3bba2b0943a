// Writes a large 3DS file (objects of bumpy grids, about the size of a detailed model set), then
// times, alternating in the same run: reading the file into memory and summing its bytes (the
// baseline), and importing it (chunk walk and normals). Prints medians and their ratio.
#include "sim/CLoad3DS.h"
#include "tests/common/Chunk3dsWriter.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <unistd.h>
#include <string>
#include <vector>

namespace {

using namespace Chunk3ds;

std::string gridObject(int index, int side)
{
    std::string v;
    put16(v, std::uint32_t(side * side));
    for (int j = 0; j < side; ++j)
        for (int i = 0; i < side; ++i) {
            putFloat(v, float(i));
            putFloat(v, float(j));
            putFloat(v, std::sin(float(i * 7 + j * 3 + index)) * 0.5f);
        }
    std::string f;
    const int quads = (side - 1) * (side - 1);
    put16(f, std::uint32_t(quads * 2));
    for (int j = 0; j + 1 < side; ++j)
        for (int i = 0; i + 1 < side; ++i) {
            const int a = j * side + i;
            for (int idx : {a, a + 1, a + side, 0, a + 1, a + side + 1, a + side, 0})
                put16(f, std::uint32_t(idx));
        }
    std::string group = std::string("Grey") + '\0';
    put16(group, 0);
    std::string uv;
    put16(uv, std::uint32_t(side * side));
    for (int k = 0; k < side * side; ++k) {
        putFloat(uv, float(k % side) / float(side));
        putFloat(uv, float(k / side) / float(side));
    }
    return meshObject("Part" + std::to_string(index), v, f, group, uv);
}

double medianMs(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    const int objects = argc > 1 ? std::atoi(argv[1]) : 40;
    const int side = 180; // 32400 vertices and 64082 faces per object, inside the 16-bit counts
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 7;

    std::string editor = colourMaterial("Grey", 0x80, 0x80, 0x80);
    for (int i = 0; i < objects; ++i)
        editor += gridObject(i, side);
    const std::string file = mainChunk(editor);
    const std::string path = "/tmp/bench-load3ds-" + std::to_string(::getpid()) + ".3ds";
    std::ofstream(path, std::ios::binary).write(file.data(), std::streamsize(file.size()));

    using Clock = std::chrono::steady_clock;
    std::vector<double> plain, import;
    std::uint64_t sink = 0;
    for (int r = 0; r < rounds; ++r) {
        auto t0 = Clock::now();
        {
            std::FILE *f = std::fopen(path.c_str(), "rb");
            std::vector<unsigned char> buf(file.size());
            const std::size_t n = std::fread(buf.data(), 1, buf.size(), f);
            std::fclose(f);
            for (std::size_t i = 0; i < n; ++i)
                sink += buf[i];
        }
        auto t1 = Clock::now();
        {
            ModelRecord model;
            CLoad3DS::ReadModelFile(path.c_str(), model);
            CLoad3DS::ComputeNormals(model);
            sink += std::uint64_t(model.objectCount);
        }
        auto t2 = Clock::now();
        plain.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        import.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
    }
    std::remove(path.c_str());
    const double p = medianMs(plain), i = medianMs(import);
    std::printf("file_mb=%.1f\n", double(file.size()) / (1024.0 * 1024.0));
    std::printf("faces=%d\n", objects * (side - 1) * (side - 1) * 2);
    std::printf("plain_read_ms=%.2f\n", p);
    std::printf("import_ms=%.2f\n", i);
    std::printf("import_vs_read_ratio=%.2f\n", i / p);
    return sink == 0xFFFFFFFFFFFFFFFFull ? 1 : 0;
}
