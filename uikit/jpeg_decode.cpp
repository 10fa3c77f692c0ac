// JPEG to RGB565 over libjpeg (62 API): an in-memory source, errors caught
// with a long jump back into the decoder.
#include <csetjmp>
#include <cstdio>
#include <cstring>

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

#include "uikit/image_resource.h"

namespace {

constexpr size_t kSourceBufferBytes = 4096;

struct ErrorManager {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

// The source manager followed by the data it reads.
struct MemorySource {
    jpeg_source_mgr pub;
    const JOCTET* data;
    size_t position;
    size_t size;
    JOCTET* buffer;  // kSourceBufferBytes from the library's permanent pool
    boolean startOfFile;
};

void ErrorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    std::longjmp(err->jump, 1);
}

void OutputMessage(j_common_ptr) {}

void InitSource(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<MemorySource*>(cinfo->src);
    src->position = 0;
    src->startOfFile = TRUE;
}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<MemorySource*>(cinfo->src);
    size_t n = src->size - src->position;
    if (n > kSourceBufferBytes) n = kSourceBufferBytes;
    if (n == 0) {
        if (src->startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
        WARNMS(cinfo, JWRN_JPEG_EOF);
        // An EOI marker: the picture decodes to its end, the rest left as
        // the library fills it.
        src->buffer[0] = 0xFF;
        src->buffer[1] = JPEG_EOI;
        n = 2;
    } else {
        std::memcpy(src->buffer, src->data + src->position, n);
        src->position += n;
    }
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = n;
    src->startOfFile = FALSE;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    auto* src = reinterpret_cast<MemorySource*>(cinfo->src);
    size_t n = static_cast<size_t>(count);
    while (n > src->pub.bytes_in_buffer) {
        n -= src->pub.bytes_in_buffer;
        FillInputBuffer(cinfo);
    }
    src->pub.next_input_byte += n;
    src->pub.bytes_in_buffer -= n;
}

void TermSource(j_decompress_ptr) {}

void UseMemorySource(j_decompress_ptr cinfo, const uint8_t* data, size_t size) {
    if (!cinfo->src) {
        cinfo->src = static_cast<jpeg_source_mgr*>(
            (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(MemorySource)));
        auto* src = reinterpret_cast<MemorySource*>(cinfo->src);
        src->buffer = static_cast<JOCTET*>((*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo),
                                                                     JPOOL_PERMANENT, kSourceBufferBytes));
    }
    auto* src = reinterpret_cast<MemorySource*>(cinfo->src);
    src->pub.init_source = InitSource;
    src->pub.fill_input_buffer = FillInputBuffer;
    src->pub.skip_input_data = SkipInputData;
    src->pub.resync_to_restart = jpeg_resync_to_restart;
    src->pub.term_source = TermSource;
    src->pub.bytes_in_buffer = 0;
    src->pub.next_input_byte = nullptr;
    src->data = data;
    src->size = size;
    src->position = 0;
}

// Everything between setjmp and the long jumps lives in the library's
// memory or in plain locals, so the jump leaves nothing behind.
int Decode(jpeg_decompress_struct* cinfo, const uint8_t* data, size_t size, uint8_t* out, size_t outBytes,
           int32_t* width, int32_t* height) {
    jpeg_create_decompress(cinfo);
    UseMemorySource(cinfo, data, size);
    jpeg_read_header(cinfo, TRUE);
    const bool rgb = cinfo->num_components == 3 && cinfo->out_color_space == JCS_RGB;
    const bool grey = cinfo->num_components == 1 && cinfo->out_color_space == JCS_GRAYSCALE;
    // The output must fit the caller's buffer; the row buffer comes from the
    // library's pool, one row of the picture's width.
    const uint64_t need = uint64_t{cinfo->image_width} * cinfo->image_height * 2;
    if ((!rgb && !grey) || need == 0 || need > outBytes) {
        jpeg_destroy_decompress(cinfo);
        return 0;
    }
    jpeg_start_decompress(cinfo);
    const JDIMENSION w = cinfo->output_width;
    const int components = cinfo->output_components;
    if (uint64_t{w} * cinfo->output_height * 2 > outBytes || (components != 3 && components != 1)) {
        jpeg_destroy_decompress(cinfo);
        return 0;
    }
    JSAMPARRAY row = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                                 w * static_cast<JDIMENSION>(components), 1);
    while (cinfo->output_scanline < cinfo->output_height) {
        const JDIMENSION y = cinfo->output_scanline;
        if (jpeg_read_scanlines(cinfo, row, 1) != 1) break;
        uint8_t* dst = out + size_t{y} * w * 2;
        const JSAMPLE* s = row[0];
        for (JDIMENSION x = 0; x < w; ++x) {
            unsigned r, g, b;
            if (components == 3) {
                r = s[3 * x];
                g = s[3 * x + 1];
                b = s[3 * x + 2];
            } else {
                r = g = b = s[x];
            }
            const uint16_t p = static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
            dst[2 * x] = static_cast<uint8_t>(p);
            dst[2 * x + 1] = static_cast<uint8_t>(p >> 8);
        }
    }
    *width = static_cast<int32_t>(cinfo->output_width);
    *height = static_cast<int32_t>(cinfo->output_height);
    jpeg_finish_decompress(cinfo);
    jpeg_destroy_decompress(cinfo);
    return 1;
}

}  // namespace

int NvDecodeJpeg(const uint8_t* data, size_t size, uint8_t* out, size_t outBytes, int32_t* width,
                 int32_t* height) {
    if (!data || !out || !width || !height) return 0;
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = ErrorExit;
    err.pub.output_message = OutputMessage;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return 0;
    }
    return Decode(&cinfo, data, size, out, outBytes, width, height);
}
