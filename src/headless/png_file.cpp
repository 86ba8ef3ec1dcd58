#include "headless/png_file.h"

#include <csetjmp>
#include <png.h>

namespace roses {
namespace {

void on_png_error(png_structp png, png_const_charp message) {
    auto* failure = static_cast<std::string*>(png_get_error_ptr(png));
    *failure = message;
    png_longjmp(png, 1);
}

void on_png_warning(png_structp, png_const_charp) {}

} // namespace

std::string write_png(std::FILE* file, std::int32_t width, std::int32_t height,
                      const std::vector<std::uint8_t>& rgb) {
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
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fflush(file) != 0 || std::ferror(file)) {
        return "cannot write the picture";
    }
    return {};
}

} // namespace roses
