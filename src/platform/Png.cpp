#include "platform/Png.h"

#include "base/Strings.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <png.h>
#include <vector>

namespace ws::platform {

namespace {

// Pictures larger than this are refused before any memory is taken for them: a damaged header
// must not make us allocate gigabytes.
constexpr png_uint_32 kMaxSide = 32768;
constexpr unsigned long long kMaxPixels = 1ull << 27;

// What the libpng callbacks and the setjmp sections share. Plain data only: libpng reports
// errors by longjmp, which must not cross anything with a destructor.
struct PngContext {
    std::FILE* file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    char message[256] = "unknown error";
};

void OnError(png_structp png, png_const_charp message) {
    auto* context = static_cast<PngContext*>(png_get_error_ptr(png));
    std::snprintf(context->message, sizeof context->message, "%s", message);
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// Reads the header and sets the transformations that turn every format into 8-bit RGBA.
bool ReadHeader(PngContext& c, png_uint_32& width, png_uint_32& height) {
    if (setjmp(png_jmpbuf(c.png)))
        return false;
    png_init_io(c.png, c.file);
    png_set_sig_bytes(c.png, 8);
    png_set_user_limits(c.png, kMaxSide, kMaxSide);
    png_read_info(c.png, c.info);
    png_set_expand(c.png);
    png_set_strip_16(c.png);
    png_set_gray_to_rgb(c.png);
    png_set_add_alpha(c.png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(c.png);
    png_read_update_info(c.png, c.info);
    width = png_get_image_width(c.png, c.info);
    height = png_get_image_height(c.png, c.info);
    if (png_get_rowbytes(c.png, c.info) != static_cast<size_t>(width) * 4)
        png_error(c.png, "unsupported pixel format");
    return true;
}

bool ReadRows(PngContext& c, png_bytepp rows) {
    if (setjmp(png_jmpbuf(c.png)))
        return false;
    png_read_image(c.png, rows);
    png_read_end(c.png, nullptr);
    return true;
}

bool WriteRows(PngContext& c, png_uint_32 width, png_uint_32 height, png_bytepp rows) {
    if (setjmp(png_jmpbuf(c.png)))
        return false;
    png_init_io(c.png, c.file);
    png_set_IHDR(c.png, c.info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(c.png, c.info);
    png_write_image(c.png, rows);
    png_write_end(c.png, nullptr);
    return true;
}

class ReadGuard {
public:
    explicit ReadGuard(PngContext& c) : m_Context(c) {}
    ~ReadGuard() {
        if (m_Context.png != nullptr)
            png_destroy_read_struct(&m_Context.png, &m_Context.info, nullptr);
        if (m_Context.file != nullptr)
            std::fclose(m_Context.file);
    }
    ReadGuard(const ReadGuard&) = delete;
    ReadGuard& operator=(const ReadGuard&) = delete;

private:
    PngContext& m_Context;
};

[[noreturn]] void Fail(const char* verb, const std::string& path, const char* reason) {
    throw EPngError(Format("Cannot %s picture file \"%s\": %s", verb, path.c_str(), reason));
}

std::vector<png_bytep> RowPointers(std::vector<png_byte>& buffer, png_uint_32 width, png_uint_32 height) {
    std::vector<png_bytep> rows(height);
    for (png_uint_32 y = 0; y < height; ++y)
        rows[y] = buffer.data() + static_cast<size_t>(y) * width * 4;
    return rows;
}

} // namespace

Image ReadPng(const std::string& path) {
    PngContext c;
    ReadGuard guard(c);
    c.file = std::fopen(path.c_str(), "rb");
    if (c.file == nullptr)
        Fail("read", path, std::strerror(errno));
    png_byte signature[8] = {};
    if (std::fread(signature, 1, sizeof signature, c.file) != sizeof signature ||
        png_sig_cmp(signature, 0, 8) != 0)
        Fail("read", path, "not a PNG file");
    c.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &c, OnError, OnWarning);
    c.info = c.png != nullptr ? png_create_info_struct(c.png) : nullptr;
    if (c.info == nullptr)
        Fail("read", path, "out of memory");

    png_uint_32 width = 0;
    png_uint_32 height = 0;
    if (!ReadHeader(c, width, height))
        Fail("read", path, c.message);
    if (static_cast<unsigned long long>(width) * height > kMaxPixels)
        Fail("read", path, "picture too large");
    std::vector<png_byte> buffer(static_cast<size_t>(width) * height * 4);
    std::vector<png_bytep> rows = RowPointers(buffer, width, height);
    if (!ReadRows(c, rows.data()))
        Fail("read", path, c.message);

    Image image(static_cast<int>(width), static_cast<int>(height));
    const png_byte* p = buffer.data();
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < image.Width(); ++x, p += 4)
            image.Set(x, y, MakePixel(p[0], p[1], p[2], p[3]));
    }
    return image;
}

void WritePng(const Image& image, const std::string& path) {
    if (image.IsEmpty())
        Fail("write", path, "the picture is empty");
    const auto width = static_cast<png_uint_32>(image.Width());
    const auto height = static_cast<png_uint_32>(image.Height());
    std::vector<png_byte> buffer;
    buffer.reserve(static_cast<size_t>(width) * height * 4);
    for (Pixel p : image.Pixels()) {
        buffer.insert(buffer.end(),
                      {static_cast<png_byte>(PixelRed(p)), static_cast<png_byte>(PixelGreen(p)),
                       static_cast<png_byte>(PixelBlue(p)), static_cast<png_byte>(PixelAlpha(p))});
    }
    std::vector<png_bytep> rows = RowPointers(buffer, width, height);

    // Written beside the target and renamed over it, so a failure never leaves a damaged file
    // where a good one was.
    const std::string partial = path + ".part";
    PngContext c;
    c.file = std::fopen(partial.c_str(), "wb");
    if (c.file == nullptr)
        Fail("write", path, std::strerror(errno));
    c.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &c, OnError, OnWarning);
    c.info = c.png != nullptr ? png_create_info_struct(c.png) : nullptr;
    if (c.info == nullptr)
        std::snprintf(c.message, sizeof c.message, "out of memory");
    const bool written = c.info != nullptr && WriteRows(c, width, height, rows.data());
    if (c.png != nullptr)
        png_destroy_write_struct(&c.png, &c.info);
    const bool flushed = std::fflush(c.file) == 0 && std::ferror(c.file) == 0;
    int ioError = flushed ? 0 : errno;
    if (std::fclose(c.file) != 0 && ioError == 0)
        ioError = errno;
    if (written && flushed && ioError == 0 && std::rename(partial.c_str(), path.c_str()) == 0)
        return;
    if (written && flushed && ioError == 0)
        ioError = errno;
    std::remove(partial.c_str());
    Fail("write", path, !written ? c.message : std::strerror(ioError != 0 ? ioError : EIO));
}

} // namespace ws::platform
