#include "tools/gen3ds/AssetWriter.h"

#include "tools/gen3ds/ArmParts.h"
#include "tools/gen3ds/EnvironmentPictures.h"
#include "tools/gen3ds/Writer3ds.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace gen3ds {

namespace {

bool writeAtomically(const std::filesystem::path &path, const std::vector<uint8_t> &bytes)
{
    std::filesystem::path temp = path;
    temp += ".part";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temp, ignored);
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    return !ec;
}

} // namespace

std::vector<std::string> AssetWriter::fileNames()
{
    std::vector<std::string> names;
    for (int n = 1; n <= ArmParts::fileCount; ++n)
        names.push_back(std::to_string(n) + ".3DS");
    names.push_back("db3.bmp");
    names.push_back("wall.bmp");
    names.push_back(ArmParts::boardTextureFileName);
    return names;
}

std::vector<std::string> AssetWriter::writeAll(const std::string &folder)
{
    std::vector<std::string> problems;
    const std::filesystem::path dir(folder);
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        problems.push_back("cannot create " + folder + ": " + ec.message());
        return problems;
    }
    auto put = [&](const std::string &name, const std::vector<uint8_t> &bytes) {
        if (!writeAtomically(dir / name, bytes))
            problems.push_back("cannot write " + (dir / name).string());
    };
    for (int n = 1; n <= ArmParts::fileCount; ++n)
        put(std::to_string(n) + ".3DS", Writer3ds::encode(ArmParts::part(n)));
    put("db3.bmp", EnvironmentPictures::floor().encodeBmp());
    put("wall.bmp", EnvironmentPictures::wall().encodeBmp());
    put(ArmParts::boardTextureFileName, EnvironmentPictures::circuitBoard().encodeBmp());
    return problems;
}

} // namespace gen3ds
