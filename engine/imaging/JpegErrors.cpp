#include "imaging/JpegErrors.h"

#include "imaging/JpegDecoder.h"

namespace teintelle {

namespace {

[[noreturn]] void errorExit(j_common_ptr cinfo) { leaveJpeg(cinfo, cinfo->err->msg_code); }
void ignoreMessage(j_common_ptr, int) {}
void outputNothing(j_common_ptr) {}

} // namespace

void leaveJpeg(j_common_ptr cinfo, int code)
{
    auto* manager = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    manager->code = code;
    std::longjmp(manager->jump, 1);
}

void installJpegErrors(j_common_ptr cinfo, JpegErrorManager& errors)
{
    cinfo->err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = errorExit;
    errors.pub.emit_message = ignoreMessage;
    errors.pub.output_message = outputNothing;
}

void limitJpegScans(j_common_ptr cinfo)
{
    if (cinfo->is_decompressor
        && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > JpegDecoder::kMaxScans)
        leaveJpeg(cinfo, JpegDecoder::kTooManyScansCode);
}

std::string jpegErrorMessage(int code)
{
    if (code == JpegDecoder::kTooManyScansCode)
        return "Erreur JPEG : plus de " + std::to_string(JpegDecoder::kMaxScans) + " passes";
    return "Erreur JPEG #" + std::to_string(code);
}

} // namespace teintelle
