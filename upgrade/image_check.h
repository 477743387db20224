#pragma once
// The checks a downloaded image passes before it is burned: its size against the offer, and the
// MD5 trailer that the update server may append.
#include <cstddef>
#include <cstdint>
#include <string>

// The trailer: this magic, then the MD5 of everything before the trailer as 32 hex digits.
inline constexpr char kMd5TrailerMagic[] = "md5_check-v1.0.0";
inline constexpr std::size_t kMd5TrailerSize = 48;

// 0 when the file's size in bytes equals `expectedSize`, -1 otherwise (also when the file cannot
// be opened or is not a regular file).
int CheckFileSize(const std::string& path, std::int64_t expectedSize);

// 1: the file has no trailer (shorter than 48 bytes, or no magic at its place) and is untouched.
// 0: the trailer was cut off and the digest of the rest matches it.
// -1: the file cannot be opened for reading and writing, or the digest does not match (the
//     trailer has been cut off all the same), or the digest text is not hexadecimal.
int CheckMd5Trailer(const std::string& path);

// Decodes `count` bytes from 2 x `count` hexadecimal digits of either case, high half first.
// False when a character is not a hexadecimal digit (the bytes are then unspecified).
bool HexToBytes(std::uint8_t* destination, const char* hexText, std::size_t count);
