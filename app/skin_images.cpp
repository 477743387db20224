#include "app/skin_images.h"

#include "resources/embedded_resources.h"

QImage SkinImage(const std::string& name) {
    const auto colon = name.find(':');
    if (colon == std::string::npos)
        return {};
    const EmbeddedResource* resource = FindEmbeddedResource(
        std::string_view(name).substr(0, colon), std::string_view(name).substr(colon + 1));
    if (!resource)
        return {};
    return QImage::fromData(resource->data, static_cast<int>(resource->size));
}
