#pragma once

#include <cstdint>
#include <cstring>
#include <string>

// Writers for hand-built 3DS files in tests and benchmarks: little-endian fields and chunks
// (a 16-bit id and a 32-bit length counting the 6-byte header, then the body).
namespace Chunk3ds {

inline void put16(std::string &s, std::uint32_t v)
{
    s.push_back(char(v & 0xFF));
    s.push_back(char((v >> 8) & 0xFF));
}

inline void put32(std::string &s, std::uint32_t v)
{
    put16(s, v);
    put16(s, v >> 16);
}

inline void putFloat(std::string &s, float f)
{
    std::uint32_t bits;
    std::memcpy(&bits, &f, 4);
    put32(s, bits);
}

// A chunk header with whatever length the caller gives, right or deliberately wrong.
inline std::string header(std::uint16_t id, std::uint32_t length)
{
    std::string out;
    put16(out, id);
    put32(out, length);
    return out;
}

inline std::string chunk(std::uint16_t id, const std::string &body)
{
    return header(id, std::uint32_t(6 + body.size())) + body;
}

// A named object of one mesh: the bodies of its vertex list, face list, the face list's one
// material group and its texture coordinates.
inline std::string meshObject(const std::string &name, const std::string &vertices, const std::string &faces,
                              const std::string &group, const std::string &uv)
{
    const std::string mesh = chunk(0x4110, vertices) + chunk(0x4120, faces + chunk(0x4130, group)) + chunk(0x4140, uv);
    return chunk(0x4000, name + '\0' + chunk(0x4100, mesh));
}

// A material with a 24-bit diffuse colour and, when texture is given, a texture map.
inline std::string colourMaterial(const std::string &name, std::uint8_t r, std::uint8_t g, std::uint8_t b,
                                  const char *texture = nullptr)
{
    std::string body = chunk(0xA000, name + '\0');
    body += chunk(0xA020, chunk(0x0011, std::string{char(r), char(g), char(b)}));
    if (texture)
        body += chunk(0xA200, chunk(0xA300, std::string(texture) + '\0'));
    return chunk(0xAFFF, body);
}

// The main chunk around an editor block, without version chunks.
inline std::string mainChunk(const std::string &editor)
{
    return chunk(0x4D4D, chunk(0x3D3D, editor));
}

} // namespace Chunk3ds
