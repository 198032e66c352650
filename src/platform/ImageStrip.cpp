#include "platform/ImageStrip.h"

#include "base/Exception.h"
#include "base/Strings.h"

namespace ws::platform {

ImageStrip::ImageStrip(int width, int height) : m_Width(width), m_Height(height) {
    if (width <= 0 || height <= 0)
        throw EInvalidOperation(Format("Invalid image list size %dx%d", width, height));
}

int ImageStrip::Add(const Image& image, const Image& mask) {
    if (mask.Width() != image.Width() || mask.Height() != image.Height())
        throw EInvalidOperation(Format("Mask of %dx%d does not fit an image of %dx%d", mask.Width(),
                                       mask.Height(), image.Width(), image.Height()));
    return AddStrip(image, &mask);
}

int ImageStrip::Add(const Image& withAlpha) {
    return AddStrip(withAlpha, nullptr);
}

int ImageStrip::AddStrip(const Image& image, const Image* mask) {
    if (image.Height() != m_Height || image.Width() == 0 || image.Width() % m_Width != 0)
        throw EInvalidOperation(Format("An image of %dx%d does not fit an image list of %dx%d", image.Width(),
                                       image.Height(), m_Width, m_Height));
    const int first = Count();
    for (int left = 0; left < image.Width(); left += m_Width) {
        Image item(m_Width, m_Height);
        for (int y = 0; y < m_Height; ++y) {
            for (int x = 0; x < m_Width; ++x) {
                Pixel p = image.At(left + x, y);
                if (mask != nullptr)
                    p = (mask->At(left + x, y) & 0x00FFFFFFu) != 0 ? 0 : (p | 0xFF000000u);
                item.Set(x, y, p);
            }
        }
        m_Images.push_back(std::move(item));
    }
    return first;
}

bool ImageStrip::Draw(PixelCanvas& canvas, int index, int x, int y) const {
    if (index < 0 || index >= Count())
        return false;
    canvas.DrawImage(m_Images[static_cast<size_t>(index)], x, y);
    return true;
}

} // namespace ws::platform
