#include "headless/png_file.h"

#include <csetjmp>
#include <new>
#include <png.h>

namespace roses {
namespace {

void on_png_error(png_structp png, png_const_charp message) {
    auto* failure = static_cast<std::string*>(png_get_error_ptr(png));
    *failure = message;
    png_longjmp(png, 1);
}

void on_png_warning(png_structp, png_const_charp) {}

void append_bytes(png_structp png, png_bytep data, png_size_t size) {
    auto* bytes = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    // An exception must not unwind through libpng's C frames: it reports by long jump.
    bool stored = true;
    try {
        bytes->insert(bytes->end(), data, data + size);
    } catch (const std::bad_alloc&) {
        stored = false;
    }
    if (!stored) {
        png_error(png, "out of memory");
    }
}

void flush_nothing(png_structp) {}

} // namespace

std::string encode_png(std::int32_t width, std::int32_t height,
                       const std::vector<std::uint8_t>& rgb, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    std::string failure;
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &failure, on_png_error, on_png_warning);
    if (png == nullptr) {
        return "cannot start the PNG writer";
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return "cannot start the PNG writer";
    }
    std::vector<png_bytep> rows(static_cast<std::size_t>(height));
    const auto stride = static_cast<std::size_t>(width) * 3;
    for (std::size_t y = 0; y < rows.size(); ++y) {
        rows[y] = const_cast<png_bytep>(&rgb[y * stride]);
    }
    // libpng reports errors by a long jump back here; only C calls lie between, so the jump
    // skips no destructor.
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return failure.empty() ? "PNG writing failed" : failure;
    }
    png_set_write_fn(png, &bytes, append_bytes, flush_nothing);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return {};
}

} // namespace roses
