#pragma once

#include "lut/LutTable.h"

#include <cstdint>
#include <string>

namespace teintelle {

// What reading an effect's file came to, in the four cases every reader of
// effects (the window, each command of teintelle-cli) tells apart.
enum class EffectReadOutcome {
    Loaded,    // the table and its size hold the effect
    Missing,   // no regular file at the path; nothing changed
    Structure, // the size or the data was not found (the notice box's case)
    Failed,    // an error was raised while reading (the error box's case)
};

struct EffectRead {
    EffectReadOutcome outcome = EffectReadOutcome::Missing;
    // Structure: the notice text; Failed: the error's text, "Mémoire
    // insuffisante" when memory ran out; empty otherwise. UTF-8, as shown.
    std::string message;

    bool loaded() const { return outcome == EffectReadOutcome::Loaded; }
};

// Reads the .cube file at path into the table and its edge size as the
// window reads a selected effect (loadCubeFile), catching what it raises:
// the table and the size are left as loadCubeFile leaves them.
EffectRead readEffectFile(const std::string& path, LutTable& table, std::int32_t& tailleTableLut);

} // namespace teintelle
