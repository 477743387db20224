#pragma once
// MD5 (RFC 1321) with the reference interface: initialise a context, add bytes, finish into the
// 16 digest bytes.
#include <cstddef>
#include <cstdint>

struct Md5Context {
    std::uint32_t count[2];  // bits processed, low word first
    std::uint32_t state[4];  // chaining words A, B, C, D
    std::uint8_t buffer[64]; // input not yet processed
};

void Md5Init(Md5Context* context);
void Md5Update(Md5Context* context, const void* input, std::size_t length);
// Pads, appends the length and writes the digest; the context is wiped afterwards.
void Md5Final(std::uint8_t digest[16], Md5Context* context);
