#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "InstanceExport.h"
#include "OrbenchError.h"
#include "TestHelpers.h"

namespace orbench {
namespace {

// Files only hold finite numbers, but an instance made in memory may not: no export text may hold
// nan or inf, and nothing is handed out before the refusal.
TEST(InstanceExport, ValuesThatAreNotFiniteAreRefusedBeforeAnythingIsWritten)
{
    testing::TTempDir Dir;
    testing::WriteLines(Dir.File("cm.txt"), {"ID\tDistributionType\tP1\tP2\tP3\tFrequency", "4\tNormal\t60\t6\t0\t1"});
    TData Data;
    Data.ReadAndAddCaseMix(Dir.File("cm.txt"), 480);
    TCaseMix& CaseMix = *Data.CaseMixes.front();
    TSurgeryType& Type = *CaseMix.SurgeryTypes.front();
    const double NaN = std::numeric_limits<double>::quiet_NaN(), Inf = std::numeric_limits<double>::infinity();
    const struct {
        double Load, DesiredLoad, P3;
        const char* Message;
    } Cases[] = {{NaN, 0.5, 0, "a.txt: the load is not a finite number"},
                 {0.5, -Inf, 0, "a.txt: the desired load is not a finite number"},
                 {0.5, 0.5, Inf, "a.txt: P3 of surgery type 4 is not a finite number"}};
    for (const auto& Case : Cases) {
        Type.Distribution->P3 = Case.P3;
        TInstance* Ok = CaseMix.CreateAndAddInstance(0.125, 0.125, 1);
        Ok->FileName = "ok.txt";
        TInstance* Bad = CaseMix.CreateAndAddInstance(Case.Load, Case.DesiredLoad, 1);
        Bad->FileName = "a.txt";
        Bad->Surgeries.push_back(std::make_unique<TSurgery>(&Type, &Data));
        const std::vector<const TInstance*> Both = {Ok, Bad};
        for (const auto Write : {WriteInstancesJsonLines, WriteInstancesCsv}) {
            bool Put = false;
            try {
                Write(Both, "\n", [&Put](const char*, std::size_t) { Put = true; });
                ADD_FAILURE() << Case.Message;
            } catch (const EOrbenchError& Error) {
                EXPECT_EQ(std::string(Error.what()).rfind(Case.Message, 0), 0u) << Error.what();
            }
            EXPECT_FALSE(Put) << Case.Message;
        }
        CaseMix.Instances.Clear();
    }
}

}  // namespace
}  // namespace orbench
