#pragma once

// A list of equal-size pictures with transparency (the LEDs of the invoiced column), stored in a
// description as binary data or filled from code.
//
// The stored form ("Bitmap") is our own: the four bytes "WSIL", then width, height and count as
// 16-bit little-endian numbers, then count images of width x height pixels, row by row, each pixel
// four bytes alpha, red, green, blue (alpha 0 is transparent).

#include "platform/ImageStrip.h"
#include "ui/Canvas.h"
#include "ui/Component.h"

#include <cstdint>
#include <vector>

namespace ws {

class TImageList : public TComponent {
public:
    WS_CLASS_INFO()

    explicit TImageList(TComponent* owner);

    int Width() const { return m_List.Width(); }
    int Height() const { return m_List.Height(); }
    // Changing the size empties the list, as the images no longer fit.
    void SetWidth(int width);
    void SetHeight(int height);
    int Count() const { return m_List.Count(); }

    // Adds an image (or a strip of them) whose alpha is its transparency; returns the first index.
    int Add(const platform::Image& withAlpha) { return m_List.Add(withAlpha); }
    // Adds an image with a one-bit mask: mask pixels that are not black are transparent.
    int Add(const platform::Image& image, const platform::Image& mask) { return m_List.Add(image, mask); }
    void Clear() { m_List.Clear(); }

    // Draws image 'index' with its top-left corner at (x, y); false when there is no such image.
    bool Draw(TCanvas& canvas, int x, int y, int index) const {
        return m_List.Draw(canvas.Handle(), index, x, y);
    }
    const platform::ImageStrip& List() const { return m_List; }

    // The stored form (see above). Reading data that does not follow it, or whose size differs from
    // the list's, throws EInvalidOperation and leaves the list as it was.
    std::vector<std::uint8_t> Bitmap() const;
    void SetBitmap(const std::vector<std::uint8_t>& data);

private:
    void Resize(int width, int height);

    platform::ImageStrip m_List{16, 16};
};

} // namespace ws
