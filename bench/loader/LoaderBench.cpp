// Loads one large generated 3DS file with normals three ways in the same run: our importer (file
// read, chunk walk, ComputeNormals), lib3ds 1.3 (lib3ds_file_load and lib3ds_mesh_calculate_normals
// for every mesh) and assimp (ReadFile with aiProcess_GenSmoothNormals). Rounds alternate between
// the three, so a busy machine slows them alike; medians are printed. Then times our importer alone
// on files with 2 and 4 times the faces to show how it grows.
//
// Every face belongs to smoothing group 1, so all three produce smooth vertex normals (lib3ds and
// assimp average across the group; without the chunk lib3ds would give flat face normals and do less).
//
//   bench-loader [objects (200)] [rounds (5)]
#include "sim/CLoad3DS.h"
#include "tests/common/Chunk3dsWriter.h"

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <lib3ds/file.h>
#include <lib3ds/mesh.h>
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace Chunk3ds;
using Clock = std::chrono::steady_clock;

constexpr int kSide = 100; // 10000 vertices and 19602 faces per object, inside the 16-bit counts

// A bumpy grid object whose faces all use the material "Grey" and smoothing group 1.
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
    const int faceCount = (side - 1) * (side - 1) * 2;
    std::string f;
    put16(f, std::uint32_t(faceCount));
    for (int j = 0; j + 1 < side; ++j)
        for (int i = 0; i + 1 < side; ++i) {
            const int a = j * side + i;
            for (int idx : {a, a + 1, a + side, 0, a + 1, a + side + 1, a + side, 0})
                put16(f, std::uint32_t(idx));
        }
    std::string group = std::string("Grey") + '\0';
    put16(group, std::uint32_t(faceCount));
    for (int k = 0; k < faceCount; ++k)
        put16(group, std::uint32_t(k));
    std::string smoothing;
    for (int k = 0; k < faceCount; ++k)
        put32(smoothing, 1);
    std::string uv;
    put16(uv, std::uint32_t(side * side));
    for (int k = 0; k < side * side; ++k) {
        putFloat(uv, float(k % side) / float(side));
        putFloat(uv, float(k / side) / float(side));
    }
    const std::string faces = f + chunk(0x4130, group) + chunk(0x4150, smoothing);
    const std::string mesh = chunk(0x4110, v) + chunk(0x4120, faces) + chunk(0x4140, uv);
    return chunk(0x4000, "Part" + std::to_string(index) + '\0' + chunk(0x4100, mesh));
}

struct GeneratedFile
{
    std::string path;
    std::size_t bytes = 0;
    long faces = 0;
};

GeneratedFile writeFile(int objects, const char *tag)
{
    std::string editor = colourMaterial("Grey", 0x80, 0x80, 0x80);
    for (int i = 0; i < objects; ++i)
        editor += gridObject(i, kSide);
    const std::string file = mainChunk(editor);
    GeneratedFile out;
    out.path = "/tmp/bench-loader-" + std::to_string(::getpid()) + "-" + tag + ".3ds";
    out.bytes = file.size();
    out.faces = long(objects) * (kSide - 1) * (kSide - 1) * 2;
    std::ofstream stream(out.path, std::ios::binary);
    stream.write(file.data(), std::streamsize(file.size()));
    if (!stream) {
        std::fprintf(stderr, "bench-loader: cannot write %s\n", out.path.c_str());
        std::exit(1);
    }
    return out;
}

double medianMs(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Each loader returns the faces it loaded (checked against the file, so a loader that silently
// stops early cannot look fast); what it built is released outside the timed part.
long loadOurs(const std::string &path, std::function<void()> &release)
{
    auto model = std::make_shared<ModelRecord>();
    if (!CLoad3DS::ReadModelFile(path.c_str(), *model))
        return -1;
    CLoad3DS::ComputeNormals(*model);
    long faces = 0;
    for (const ObjectRecord &o : model->objects)
        faces += long(o.faces.size()) * (o.normals.size() == o.vertices.size() ? 1 : 0);
    release = [model]() mutable { model.reset(); };
    return faces;
}

long loadLib3ds(const std::string &path, std::function<void()> &release)
{
    Lib3dsFile *file = lib3ds_file_load(path.c_str());
    if (!file)
        return -1;
    auto normals = std::make_shared<std::vector<std::unique_ptr<Lib3dsVector[]>>>();
    long faces = 0;
    for (Lib3dsMesh *mesh = file->meshes; mesh; mesh = mesh->next) {
        normals->emplace_back(new Lib3dsVector[std::size_t(mesh->faces) * 3]);
        lib3ds_mesh_calculate_normals(mesh, normals->back().get());
        faces += long(mesh->faces);
    }
    release = [file, normals]() mutable {
        normals.reset();
        lib3ds_file_free(file);
    };
    return faces;
}

long loadAssimp(const std::string &path, std::function<void()> &release)
{
    auto importer = std::make_shared<Assimp::Importer>();
    const aiScene *scene = importer->ReadFile(path, aiProcess_GenSmoothNormals);
    if (!scene)
        return -1;
    long faces = 0;
    for (unsigned i = 0; i < scene->mNumMeshes; ++i)
        faces += scene->mMeshes[i]->HasNormals() ? long(scene->mMeshes[i]->mNumFaces) : 0;
    release = [importer]() mutable { importer.reset(); };
    return faces;
}

using Loader = long (*)(const std::string &, std::function<void()> &);

struct Sample
{
    double cpuMs = 0; // this process's CPU time: what the loader itself spent
    double wallMs = 0;
};

double cpuNowMs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

Sample timeOnce(Loader loader, const char *name, const GeneratedFile &file)
{
    std::function<void()> release;
    const double c0 = cpuNowMs();
    const auto t0 = Clock::now();
    const long faces = loader(file.path, release);
    const auto t1 = Clock::now();
    const double c1 = cpuNowMs();
    if (release)
        release();
    if (faces != file.faces) {
        std::fprintf(stderr, "bench-loader: %s loaded %ld faces with normals of %ld\n", name, faces, file.faces);
        std::exit(1);
    }
    return {c1 - c0, std::chrono::duration<double, std::milli>(t1 - t0).count()};
}

struct Series
{
    std::vector<double> cpu, wall;
    void add(const Sample &s)
    {
        cpu.push_back(s.cpuMs);
        wall.push_back(s.wallMs);
    }
    double cpuMedian() const { return medianMs(cpu); }
    double wallMedian() const { return medianMs(wall); }
};

} // namespace

int main(int argc, char **argv)
{
    const int objects = argc > 1 ? std::atoi(argv[1]) : 200;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    if (objects < 1 || objects > 10000 || rounds < 1) {
        std::fprintf(stderr, "usage: bench-loader [objects] [rounds]\n");
        return 2;
    }

    // glibc raises its mmap and trim thresholds as large blocks are freed, so a load that fits in
    // memory an earlier load left behind skips its page faults while a bigger one pays them: that
    // made the small file look cheaper per face than the big ones. Fixed thresholds give every
    // load fresh pages, as a program's one import at start-up gets.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    mallopt(M_TRIM_THRESHOLD, 128 * 1024);

    const GeneratedFile base = writeFile(objects, "1x");
    Series ours, lib3ds, assimp;
    for (int r = 0; r < rounds; ++r) {
        ours.add(timeOnce(loadOurs, "ours", base));
        lib3ds.add(timeOnce(loadLib3ds, "lib3ds", base));
        assimp.add(timeOnce(loadAssimp, "assimp", base));
    }
    const double o = ours.cpuMedian(), l = lib3ds.cpuMedian(), a = assimp.cpuMedian();

    // Growth: the same objects, two and four times as many of them. Our loads are short, so this
    // takes more rounds to steady the medians.
    const GeneratedFile twice = writeFile(objects * 2, "2x");
    const GeneratedFile four = writeFile(objects * 4, "4x");
    Series g1, g2, g4;
    for (int r = 0; r < rounds * 2 + 1; ++r) {
        g1.add(timeOnce(loadOurs, "ours", base));
        g2.add(timeOnce(loadOurs, "ours", twice));
        g4.add(timeOnce(loadOurs, "ours", four));
    }
    for (const GeneratedFile *f : {&base, &twice, &four})
        std::remove(f->path.c_str());
    const double m1 = g1.cpuMedian(), m2 = g2.cpuMedian(), m4 = g4.cpuMedian();

    // The *_ms figures are CPU time of the loading process (all three load on one thread), which a
    // busy shared machine disturbs far less than the wall clock; wall-clock medians follow.
    std::printf("file_mb=%.1f\n", double(base.bytes) / (1024.0 * 1024.0));
    std::printf("objects=%d\n", objects);
    std::printf("faces=%ld\n", base.faces);
    std::printf("rounds=%d\n", rounds);
    std::printf("ours_ms=%.2f\n", o);
    std::printf("lib3ds_ms=%.2f\n", l);
    std::printf("assimp_ms=%.2f\n", a);
    std::printf("ratio_to_fastest_peer=%.3f\n", o / std::min(l, a));
    std::printf("ours_1x_ms=%.2f\n", m1);
    std::printf("ours_2x_ms=%.2f\n", m2);
    std::printf("ours_4x_ms=%.2f\n", m4);
    std::printf("growth_2x=%.2f\n", m2 / m1);
    std::printf("growth_4x=%.2f\n", m4 / m1);
    std::printf("ours_wall_ms=%.2f\n", ours.wallMedian());
    std::printf("lib3ds_wall_ms=%.2f\n", lib3ds.wallMedian());
    std::printf("assimp_wall_ms=%.2f\n", assimp.wallMedian());
    std::printf("ratio_to_fastest_peer_wall=%.3f\n",
                ours.wallMedian() / std::min(lib3ds.wallMedian(), assimp.wallMedian()));
    std::printf("growth_2x_wall=%.2f\n", g2.wallMedian() / g1.wallMedian());
    std::printf("growth_4x_wall=%.2f\n", g4.wallMedian() / g1.wallMedian());
    return 0;
}
