#pragma once
// The two font faces that the layouts name, and the installed faces that stand in for them.
#include <string>

inline constexpr const char* kFaceYaHei = "微软雅黑"; // the layouts' sans face
inline constexpr const char* kFaceSongTi = "宋体";    // the serif face of the Chinese texts

// Installed stand-ins from Debian's CJK font package.
inline constexpr const char* kFallbackSansFace = "Noto Sans CJK SC";
inline constexpr const char* kFallbackSerifFace = "Noto Serif CJK SC";

// The face to ask the font system for: the stand-in for the two layout faces (also when given
// as the GBK bytes of their names), any other face unchanged.
std::string ResolveFontFace(const std::string& face);
