#pragma once

#include "imaging/TBitmap32.h"

#include <string>

namespace teintelle::bench {

// Folder holding the benchmark's inputs: $TEINTELLE_BENCH_DIR, or
// /tmp/teintelle-bench-lut. Created on demand.
std::string inputFolder();

// A .cube file of edge n holding a colour grade (contrast curve, warm
// highlights and cool shadows, more saturation, some channel cross-talk),
// written with six decimals like the files grading tools export. Written
// once into inputFolder(); returns its path.
std::string gradeCubeFile(int n);

// The benchmark picture: a photograph (mate-backgrounds' Garden.jpg, or
// $TEINTELLE_BENCH_PHOTO), its central 3:2 part brought to 1500 x 1000.
// Also written as raw BGRA bytes to inputFolder()/photo-1500x1000.bgra, so
// that peers work on the very same pixels.
void loadPhoto(TBitmap32& surface);

} // namespace teintelle::bench
