#pragma once
// How the program's calls into libjpeg get out of its fatal errors. libjpeg
// reports one by calling error_exit, which must not return. The library is
// C: the exit leaves through longjmp back to the setjmp of the protected step
// that called the library, never through C++ frames holding objects with
// destructors, and the caller turns the code into an Error.

#include <csetjmp>
#include <cstdio>
#include <string>

#include <jpeglib.h>

namespace teintelle {

struct JpegErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    int code;
};

// Leaves to the setjmp of the step under way with `code`.
[[noreturn]] void leaveJpeg(j_common_ptr cinfo, int code);

// Makes `errors` the error manager of `cinfo`: fatal errors leave with the
// library's message code; warnings and trace messages are ignored, so a
// damaged or truncated file gives whatever the library makes of it, silently.
void installJpegErrors(j_common_ptr cinfo, JpegErrorManager& errors);

// A progress monitor that leaves with JpegDecoder::kTooManyScansCode once a
// decompression reads more than JpegDecoder::kMaxScans scans.
void limitJpegScans(j_common_ptr cinfo);

// What a decode that left with `code` says: "Erreur JPEG : plus de 500
// passes" for too many scans, "Erreur JPEG #<code>" otherwise.
std::string jpegErrorMessage(int code);

} // namespace teintelle
