#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "InstanceStats.h"
#include "OrbenchError.h"
#include "TestHelpers.h"

namespace orbench {
namespace {

using testing::TTempDir;
using testing::WriteLines;

// Two instance files made from a case mix with the types U at (X, Y) = (0.3, 0.8) and L at
// (0.7, 0.2) (capacity 480), read back: A = U, U, L on 2 OR-days, B = L, L on 1 OR-day.
class InstanceStats : public ::testing::Test {
protected:
    InstanceStats()
    {
        WriteLines(Dir.File("CM.txt"), {"ID\tDistributionType\tP1\tP2\tP3\tFrequency",
                                        "1\tNormal\t144.000000000\t115.200000000\t0.000000000\t0.500000000",
                                        "2\tNormal\t336.000000000\t67.200000000\t0.000000000\t0.500000000"});
        {
            TData Writer;
            Writer.ReadAndAddCaseMix(Dir.File("CM.txt"), 480);
            TCaseMix& CM = *Writer.CaseMixes.front();
            const struct {
                const char* Name;
                int ORs;
                double DesiredLoad;
                std::vector<int> Types;
            } Made[] = {{"a.txt", 2, 0.8, {0, 0, 1}}, {"b.txt", 1, 0.9, {1, 1}}};
            for (const auto& [Name, ORs, DesiredLoad, Types] : Made) {
                double Minutes = 0;
                for (const int t : Types) Minutes += CM.SurgeryTypes[std::size_t(t)]->Distribution->Expected * 1440;
                TInstance* I = CM.CreateAndAddInstance(Minutes / (ORs * 480), DesiredLoad, ORs);
                for (const int t : Types)
                    I->Surgeries.push_back(std::make_unique<TSurgery>(CM.SurgeryTypes[std::size_t(t)].get(), &Writer));
                I->FileName = Dir.File(Name);
                I->SaveInstance();
            }
        }
        Data.ReadAndAddCaseMix(Dir.File("CM.txt"), 480);
        for (const char* Name : {"a.txt", "b.txt"}) {
            TCaseMix* CM = nullptr;
            Data.ReadAndAddInstance(Dir.File(Name), CM);
            CM->Instances.Last()->FileName = Name;
            Instances.push_back(CM->Instances.Last());
        }
    }

    TTempDir Dir;
    TData Data;
    std::vector<const TInstance*> Instances;
};

TEST_F(InstanceStats, RowsAndSummaryMatchTheInstanceFiles)
{
    const std::set<int> UpperTypes = {0, 1, 5, 7, 9, 10, 13, 16};   // the regions holding (0.3, 0.8)
    const std::set<int> LowerTypes = {0, 4, 6, 8, 11, 12, 13, 16};  // and (0.7, 0.2)
    const TInstanceStats Stats = ComputeInstanceStats(Instances);
    const struct {
        const char* File;
        int ORs;
        double DesiredLoad, Load;
        int Upper, Lower, Types;
        double X, Y, Mean, Max;
    } Expected[] = {
        {"a.txt", 2, 0.8, 624.0 / 960, 2, 1, 2, 1.3 / 3, 1.8 / 3, 208, 336},
        {"b.txt", 1, 0.9, 672.0 / 480, 0, 2, 1, 0.7, 0.2, 336, 336},
        {"all instances", 3, 0.85, (624.0 / 960 + 672.0 / 480) / 2, 2, 3, 2, 2.7 / 5, 2.2 / 5, 1296.0 / 5, 336},
    };
    ASSERT_EQ(Stats.Rows.size(), 2u);
    for (std::size_t r = 0; r < 3; ++r) {
        const TInstanceStatsRow& Row = r < 2 ? Stats.Rows[r] : Stats.Summary;
        const auto& E = Expected[r];
        SCOPED_TRACE(E.File);
        EXPECT_EQ(Row.FileName, E.File);
        EXPECT_EQ(Row.NumberOfORs, E.ORs);
        EXPECT_NEAR(Row.DesiredLoad, E.DesiredLoad, 1e-9);
        EXPECT_NEAR(Row.Load, E.Load, 1e-9);
        EXPECT_EQ(Row.NumberOfSurgeries, E.Upper + E.Lower);
        EXPECT_EQ(Row.NumberOfSurgeryTypes, E.Types);
        EXPECT_NEAR(Row.CenterX, E.X, 1e-9);
        EXPECT_NEAR(Row.CenterY, E.Y, 1e-9);
        EXPECT_NEAR(Row.MeanExpectedMinutes, E.Mean, 1e-9);
        EXPECT_NEAR(Row.MaxExpectedMinutes, E.Max, 1e-9);
        for (int t = 0; t < NumCaseMixTypes; ++t)
            EXPECT_EQ(Row.RegionCounts[static_cast<std::size_t>(t)],
                      (UpperTypes.count(t) ? E.Upper : 0) + (LowerTypes.count(t) ? E.Lower : 0))
                << "type " << t;
    }
    const TInstanceStats None = ComputeInstanceStats({});
    EXPECT_EQ(None.Summary.NumberOfSurgeries, 0);
    EXPECT_EQ(None.Summary.Load, 0);
}

TEST_F(InstanceStats, AlignedTableAndCsv)
{
    testing::TDecimalSeparatorGuard Comma(',');
    Data.CaseMixes.front()->Instances.Last()->FileName = "b, \"the second\".txt";
    const TInstanceStats Stats = ComputeInstanceStats(Instances);

    const std::string Csv = InstanceStatsCsv(Stats, "\r\n");
    std::vector<std::string> Lines;
    for (std::size_t Start = 0, End; (End = Csv.find("\r\n", Start)) != std::string::npos; Start = End + 2)
        Lines.push_back(Csv.substr(Start, End - Start));
    ASSERT_EQ(Lines.size(), 4u);
    EXPECT_EQ(Lines[0],
              "file,or_days,desired_load,load,surgeries,surgery_types,center_x,center_y,"
              "mean_expected_minutes,max_expected_minutes,type_0,type_1,type_2,type_3,type_4,type_5,"
              "type_6,type_7,type_8,type_9,type_10,type_11,type_12,type_13,type_14,type_15,type_16");
    const auto StartsWith = [](const std::string& Line, const std::string& Start) { return Line.rfind(Start, 0) == 0; };
    EXPECT_PRED2(StartsWith, Lines[1], "a.txt,2,0.800000000,0.650000000,3,2,0.433333333,0.600000000,208.000000000,");
    EXPECT_PRED2(StartsWith, Lines[2], "\"b, \"\"the second\"\".txt\",1,0.900000000,1.400000000,2,1,");
    EXPECT_PRED2(StartsWith, Lines[3], "all instances,3,0.850000000,1.025000000,5,2,");
    EXPECT_EQ(std::count(Lines[3].begin(), Lines[3].end(), ','), 26);

    const std::string Table = InstanceStatsTable(Stats, "\n");
    std::vector<std::string> Rows;
    for (std::size_t Start = 0, End; (End = Table.find('\n', Start)) != std::string::npos; Start = End + 1)
        Rows.push_back(Table.substr(Start, End - Start));
    ASSERT_EQ(Rows.size(), 4u);
    for (const std::string& Row : Rows) EXPECT_EQ(Row.size(), Rows[0].size()) << Row;
    EXPECT_PRED2(StartsWith, Rows[0], "file ");
    EXPECT_PRED2(StartsWith, Rows[3], "all instances ");
    // Right-aligned columns end at the same place: the load column under "load".
    const std::size_t LoadEnd = Rows[0].find("load  ", Rows[0].find("desired load") + 12) + 4;
    EXPECT_EQ(Rows[1].substr(LoadEnd - 6, 6), "0,6500");
    EXPECT_EQ(Rows[2].substr(LoadEnd - 6, 6), "1,4000");
}

// Totals are 64-bit: two instances of 2^31 - 1 OR-days add up; a mean load beyond the largest
// number is refused, naming the file, instead of printed as "inf".
TEST_F(InstanceStats, LargeTotalsAddUpAndInfiniteLoadsAreRefused)
{
    TInstance* A = const_cast<TInstance*>(Instances[0]);
    TInstance* B = const_cast<TInstance*>(Instances[1]);
    A->NumberOfORs = B->NumberOfORs = 2147483647;
    const TInstanceStats Stats = ComputeInstanceStats(Instances);
    EXPECT_EQ(Stats.Summary.NumberOfORs, 4294967294);
    EXPECT_NE(InstanceStatsCsv(Stats, "\n").find("all instances,4294967294,"), std::string::npos);
    A->Load = B->Load = 1e308;
    try {
        ComputeInstanceStats(Instances);
        ADD_FAILURE() << "no error";
    } catch (const EOrbenchError& E) {
        EXPECT_EQ(std::string(E.what()).rfind("b.txt: ", 0), 0u) << E.what();
    }
}

}  // namespace
}  // namespace orbench
