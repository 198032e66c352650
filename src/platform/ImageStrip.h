#pragma once

// A list of equal-size images, each with its transparency, drawn masked: the state pictures of
// check boxes and the like.

#include "platform/Image.h"
#include "platform/PixelCanvas.h"

#include <vector>

namespace ws::platform {

class ImageStrip {
public:
    ImageStrip(int width, int height);

    int Count() const { return static_cast<int>(m_Images.size()); }
    int Width() const { return m_Width; }
    int Height() const { return m_Height; }

    // Adds an image with a one-bit mask of the same size: a mask pixel that is not black marks a
    // transparent pixel. An image as wide as several list images is a strip and adds each of
    // them, left to right. Returns the index of the first image added. Throws EInvalidOperation
    // when the sizes do not fit the list.
    int Add(const Image& image, const Image& mask);
    // Adds an image (or strip) whose alpha channel is its transparency.
    int Add(const Image& withAlpha);
    void Clear() { m_Images.clear(); }

    // The stored image: transparent pixels have alpha 0.
    const Image& At(int index) const { return m_Images.at(static_cast<size_t>(index)); }

    // Draws image 'index' with its top-left corner at (x, y), leaving transparent pixels alone.
    // An index out of range draws nothing and returns false.
    bool Draw(PixelCanvas& canvas, int index, int x, int y) const;

private:
    int AddStrip(const Image& image, const Image* mask);

    int m_Width;
    int m_Height;
    std::vector<Image> m_Images;
};

} // namespace ws::platform
