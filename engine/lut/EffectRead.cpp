#include "lut/EffectRead.h"

#include "common/Error.h"
#include "lut/CubeReader.h"
#include "lut/LutMessages.h"

#include <exception>
#include <new>

namespace teintelle {

EffectRead readEffectFile(const std::string& path, LutTable& table, std::int32_t& tailleTableLut)
{
    try {
        const CubeStatus status = loadCubeFile(path, table, tailleTableLut);
        switch (status) {
        case CubeStatus::Loaded:
            return {EffectReadOutcome::Loaded, {}};
        case CubeStatus::FileMissing:
            return {EffectReadOutcome::Missing, {}};
        case CubeStatus::SizeNotFound:
        case CubeStatus::DataNotFound:
            return {EffectReadOutcome::Structure, std::string(structureMessage(status))};
        }
    } catch (const std::bad_alloc&) {
        return {EffectReadOutcome::Failed, lutmsg::kOutOfMemory};
    } catch (const std::exception& error) {
        return {EffectReadOutcome::Failed, error.what()};
    }
    return {EffectReadOutcome::Failed, {}}; // not reached: every status is handled above
}

} // namespace teintelle
