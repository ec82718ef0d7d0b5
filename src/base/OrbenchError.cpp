#include "OrbenchError.h"

#include <cmath>

#include "NumberFormat.h"

namespace orbench {

EOrbenchError FileLineError(const std::string& FileName, int LineNumber, const std::string& What)
{
    return EOrbenchError(FileName + ", line " + std::to_string(LineNumber) + ": " + What);
}

void RequirePositiveCapacity(double CapacityORinMinutes)
{
    if (!(CapacityORinMinutes > 0) || !std::isfinite(CapacityORinMinutes))
        throw EOrbenchError("The OR-day capacity must be greater than 0 minutes (it is " +
                            FormatGeneral(CapacityORinMinutes) + ").");
}

}  // namespace orbench
