#pragma once
// The sheet command's request, and the making of the sheet: SheetQt.cpp
// with Qt (the labels are drawn with its fonts), SheetNoQt.cpp without it.

#include <string>

namespace teintelle::cli {

struct SheetRequest {
    std::string folder, photo, out;
    int columns = 0; // 0: chosen from the cell count
    int size = 256;
};

// Makes the sheet the request asks for, its problems on standard error.
// Returns the exit status.
int makeSheet(const SheetRequest& request);

} // namespace teintelle::cli
