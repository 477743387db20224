#pragma once
#include <cstddef>
#include <span>
#include <string_view>
struct EmbeddedResource {
    std::string_view kind; /* "png", "jpg" or "bitmap" */
    std::string_view name;
    const unsigned char* data;
    std::size_t size;
};
// Name matched without regard to case; null when absent.
const EmbeddedResource* FindEmbeddedResource(std::string_view kind, std::string_view name);
std::span<const EmbeddedResource> AllEmbeddedResources();
