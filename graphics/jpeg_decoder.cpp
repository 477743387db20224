// JPEG decoding over libjpeg's C interface.  As with PNG, errors arrive by longjmp, so the
// function holding the recovery point keeps only plain data and its caller releases everything.
#include "graphics/image_decoders.h"

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

namespace {

constexpr std::size_t kChunk = 4096;

struct JpegJob {
    jpeg_error_mgr Errors;  // first, so the error manager pointer is the job itself
    jpeg_source_mgr Source; // reads the stream in chunks
    jpeg_progress_mgr Progress;
    std::jmp_buf Recovery;
    ReadStream* Stream;
    Bitmap* Result;
    JOCTET Buffer[kChunk];
};

JpegJob* JobOf(j_common_ptr info) {
    return reinterpret_cast<JpegJob*>(info->err);
}

void OnJpegError(j_common_ptr info) {
    std::longjmp(JobOf(info)->Recovery, 1);
}

// A warning means damaged data (a corrupt entropy segment, a premature end): refuse the image
// instead of showing a partly grey one.  Trace messages (level > 0) are ignored.
void OnJpegMessage(j_common_ptr info, int level) {
    if (level < 0)
        std::longjmp(JobOf(info)->Recovery, 1);
}

// A hostile progressive file can hold thousands of scans that each cost a full pass.
constexpr int kMaxScans = 256;

void OnProgress(j_common_ptr info) {
    auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
    if (decompress->input_scan_number > kMaxScans)
        std::longjmp(JobOf(info)->Recovery, 1);
}

void InitSource(j_decompress_ptr) {}

boolean FillInput(j_decompress_ptr info) {
    JpegJob* job = JobOf(reinterpret_cast<j_common_ptr>(info));
    std::size_t got = 0;
    try {
        got = job->Stream->Read(job->Buffer, kChunk);
    } catch (...) {
        got = 0;
    }
    if (got == 0)
        std::longjmp(job->Recovery, 1); // truncated
    job->Source.next_input_byte = job->Buffer;
    job->Source.bytes_in_buffer = got;
    return TRUE;
}

void SkipInput(j_decompress_ptr info, long count) {
    JpegJob* job = JobOf(reinterpret_cast<j_common_ptr>(info));
    while (count > 0) {
        if (job->Source.bytes_in_buffer == 0)
            FillInput(info);
        auto step = static_cast<std::size_t>(count) < job->Source.bytes_in_buffer
                        ? static_cast<std::size_t>(count)
                        : job->Source.bytes_in_buffer;
        job->Source.next_input_byte += step;
        job->Source.bytes_in_buffer -= step;
        count -= static_cast<long>(step);
    }
}

void TermSource(j_decompress_ptr) {}

bool Decode(JpegJob* job, jpeg_decompress_struct* info) {
    if (setjmp(job->Recovery))
        return false;
    jpeg_create_decompress(info);
    info->src = &job->Source;
    job->Progress.progress_monitor = OnProgress;
    info->progress = &job->Progress;
    jpeg_read_header(info, TRUE);
    // Blue, green, red straight into the bitmap's rows (also from grey pictures).
    info->out_color_space = JCS_EXT_BGR;
    jpeg_calc_output_dimensions(info);
    if (static_cast<std::int64_t>(info->output_width) * info->output_height > DecodedPixelLimit())
        return false;
    jpeg_start_decompress(info);
    if (info->output_components != 3)
        return false;
    job->Result = CreateBitmap(static_cast<int>(info->output_width),
                               static_cast<int>(info->output_height), 24);
    if (job->Result == nullptr)
        return false;
    while (info->output_scanline < info->output_height) {
        JSAMPROW row = job->Result->Line(static_cast<int>(info->output_scanline));
        jpeg_read_scanlines(info, &row, 1);
    }
    jpeg_finish_decompress(info);
    return true;
}

} // namespace

Bitmap* LoadJPGfromStream(ReadStream& stream) {
    auto* job = new JpegJob{};
    jpeg_decompress_struct info{};
    info.err = jpeg_std_error(&job->Errors);
    job->Errors.error_exit = OnJpegError;
    job->Errors.emit_message = OnJpegMessage;
    job->Source.init_source = InitSource;
    job->Source.fill_input_buffer = FillInput;
    job->Source.skip_input_data = SkipInput;
    job->Source.resync_to_restart = jpeg_resync_to_restart;
    job->Source.term_source = TermSource;
    job->Stream = &stream;
    bool ok = false;
    try {
        ok = Decode(job, &info);
    } catch (...) { // out of memory for the bitmap
        ok = false;
    }
    jpeg_destroy_decompress(&info);
    Bitmap* result = job->Result;
    delete job;
    if (!ok) {
        delete result;
        return nullptr;
    }
    return result;
}
