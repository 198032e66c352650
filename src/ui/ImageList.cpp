#include "ui/ImageList.h"

#include "base/Exception.h"
#include "base/Strings.h"
#include "ui/PropertiesBuilder.h"

#include <algorithm>

namespace ws {

namespace {

constexpr std::uint8_t kMagic[4] = {'W', 'S', 'I', 'L'};
constexpr std::size_t kHeaderSize = 10;
// Far beyond any picture a list of ours holds; a bigger count is damaged data, not a big list.
constexpr int kMaxSide = 1024;
constexpr int kMaxCount = 1024;

void PutU16(std::vector<std::uint8_t>& out, int value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

int GetU16(const std::vector<std::uint8_t>& in, std::size_t at) {
    return in[at] | (in[at + 1] << 8);
}

} // namespace

const TClassInfo& TImageList::StaticClassInfo() {
    using C = TImageList;
    static const TClassInfo info =
        TClassBuilder<C>("TImageList", TComponent::StaticClassInfo())
            .Integer("Height", &C::Height, [](C& l, std::int64_t v) { l.SetHeight(static_cast<int>(v)); })
            .Integer("Width", &C::Width, [](C& l, std::int64_t v) { l.SetWidth(static_cast<int>(v)); })
            .Binary("Bitmap", &C::Bitmap, &C::SetBitmap)
            .Build();
    return info;
}

TImageList::TImageList(TComponent* owner) : TComponent(owner) {}

void TImageList::SetWidth(int width) {
    Resize(width, Height());
}

void TImageList::SetHeight(int height) {
    Resize(Width(), height);
}

void TImageList::Resize(int width, int height) {
    if (width == Width() && height == Height())
        return;
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide)
        throw EInvalidOperation(Format("Invalid image list size %d x %d", width, height));
    m_List = platform::ImageStrip(width, height);
}

std::vector<std::uint8_t> TImageList::Bitmap() const {
    std::vector<std::uint8_t> out(std::begin(kMagic), std::end(kMagic));
    PutU16(out, Width());
    PutU16(out, Height());
    PutU16(out, Count());
    for (int i = 0; i < Count(); ++i) {
        for (platform::Pixel p : m_List.At(i).Pixels()) {
            out.push_back(static_cast<std::uint8_t>(platform::PixelAlpha(p)));
            out.push_back(static_cast<std::uint8_t>(platform::PixelRed(p)));
            out.push_back(static_cast<std::uint8_t>(platform::PixelGreen(p)));
            out.push_back(static_cast<std::uint8_t>(platform::PixelBlue(p)));
        }
    }
    return out;
}

void TImageList::SetBitmap(const std::vector<std::uint8_t>& data) {
    if (data.size() < kHeaderSize || !std::equal(std::begin(kMagic), std::end(kMagic), data.begin()))
        throw EInvalidOperation("Image list data is not in the image list format");
    const int width = GetU16(data, 4);
    const int height = GetU16(data, 6);
    const int count = GetU16(data, 8);
    if (width != Width() || height != Height())
        throw EInvalidOperation(Format("Image list data holds %d x %d images, the list %d x %d", width,
                                       height, Width(), Height()));
    if (count > kMaxCount)
        throw EInvalidOperation("Image list data is damaged");
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (data.size() != kHeaderSize + static_cast<std::size_t>(count) * pixels * 4)
        throw EInvalidOperation("Image list data is damaged");

    platform::ImageStrip list(width, height);
    std::size_t at = kHeaderSize;
    for (int i = 0; i < count; ++i) {
        platform::Image image(width, height);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x, at += 4)
                image.Set(x, y, platform::MakePixel(data[at + 1], data[at + 2], data[at + 3], data[at]));
        }
        list.Add(image);
    }
    m_List = std::move(list);
}

} // namespace ws
