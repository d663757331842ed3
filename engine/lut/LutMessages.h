#pragma once

#include "common/Error.h"

// The user-facing texts of the LUT engine, byte for byte.
namespace teintelle::lutmsg {

inline constexpr const char* kSizeNotFound =
    "Erreur dans la structure du fichier. Impossible de déterminer la taille de la table.";
inline constexpr const char* kDataNotFound =
    "Erreur dans la structure du fichier. Impossible de trouver les données de la table.";
inline constexpr const char* kListIndex = "Index de liste hors limites (%d)";
inline constexpr const char* kRangeCheck = "Erreur de vérification d'étendue";
inline constexpr const char* kOutOfMemory = teintelle::kOutOfMemory;
inline constexpr const char* kInvalidFloatOp = "Opération en virgule flottante incorrecte";

} // namespace teintelle::lutmsg
