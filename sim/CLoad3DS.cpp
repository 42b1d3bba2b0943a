#include "sim/CLoad3DS.h"

CLoad3DS::CLoad3DS() = default;
CLoad3DS::~CLoad3DS() = default;

void CLoad3DS::ImportModel(const char *, unsigned) {}

void CLoad3DS::DrawModel(int, float, float, float, float, float, float, float, float) {}

bool CLoad3DS::ReadModelFile(const char *, ModelRecord &)
{
    return false;
}

bool CLoad3DS::ReadModelMemory(const std::uint8_t *, std::size_t, ModelRecord &)
{
    return false;
}

void CLoad3DS::ComputeNormals(ModelRecord &) {}

void CLoad3DS::CreateTextures(unsigned, const char *) {}

std::string CLoad3DS::ResolveTexturePath(const char *, const char *)
{
    return {};
}

void CLoad3DS::SetTextureFailureHandler(std::function<void(const std::string &)> handler)
{
    m_textureFailure = std::move(handler);
}
