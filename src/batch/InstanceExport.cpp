#include "InstanceExport.h"

#include <cmath>
#include <cstdint>
#include <unordered_map>

#include <nlohmann/json.hpp>

#include "NumberFormat.h"
#include "OrbenchError.h"
#include "TableText.h"

namespace orbench {

namespace {

using TJson = nlohmann::ordered_json;

// A value as it goes out: finite, and never a negative zero. What names the value in the refusal.
double Exported(double Value, const TInstance& Instance, const std::string& What)
{
    if (!std::isfinite(Value))
        throw EOrbenchError(Instance.FileName + ": " + What + " is not a finite number and cannot be exported");
    return Value == 0 ? 0.0 : Value;
}

// What the case mix says about a surgery type, worked out once per type.
struct TTypeFields {
    int ID = 0;
    std::string Kind;
    double P1 = 0, P2 = 0, P3 = 0, MeanMinutes = 0, SdMinutes = 0, X = 0, Y = 0;
    std::string CsvText;  // ",type_id,kind,p1,p2,p3,mean_minutes,sd_minutes,x,y"
};

// The fields of the surgery types of a set of instances, each checked when it is first met.
class TTypeTable {
public:
    // Checks the numbers of every instance and of its surgeries' types.
    explicit TTypeTable(const std::vector<const TInstance*>& Instances)
    {
        for (const TInstance* Instance : Instances) {
            Exported(Instance->DesiredLoad, *Instance, "the desired load");
            Exported(Instance->Load, *Instance, "the load");
            Exported(Instance->CaseMix->CapacityORinMinutes, *Instance, "the OR-day capacity");
            for (const auto& Surgery : Instance->Surgeries) Add(*Surgery->SurgeryType, *Instance);
        }
    }

    const TTypeFields& Of(const TSurgeryType& Type) const { return FFields.at(&Type); }

private:
    void Add(const TSurgeryType& Type, const TInstance& Instance)
    {
        auto [It, Inserted] = FFields.try_emplace(&Type);
        if (!Inserted) return;
        // CalculateStdDev refreshes the cached variance: a type made on the fly has none cached yet.
        TDistribution& D = *Type.Distribution;
        const std::string OfType = " of surgery type " + std::to_string(Type.ID);
        TTypeFields& F = It->second;
        F.ID = Type.ID;
        F.Kind = DistributionTypeToStr(D.DistributionType);
        F.P1 = Exported(D.P1, Instance, "P1" + OfType);
        F.P2 = Exported(D.P2, Instance, "P2" + OfType);
        F.P3 = Exported(D.P3, Instance, "P3" + OfType);
        F.MeanMinutes = Exported(D.Expected * MinutesPerDay, Instance, "the mean duration" + OfType);
        F.SdMinutes = Exported(D.CalculateStdDev() * MinutesPerDay, Instance, "the standard deviation" + OfType);
        F.X = Exported(Type.Xvalue, Instance, "X" + OfType);
        F.Y = Exported(Type.Yvalue, Instance, "Y" + OfType);
        F.CsvText += ',';
        F.CsvText += std::to_string(F.ID);
        F.CsvText += ',';
        F.CsvText += CsvField(F.Kind);
        AppendFixedFields(F.CsvText, {F.P1, F.P2, F.P3, F.MeanMinutes, F.SdMinutes, F.X, F.Y}, 9, ',');
    }

    std::unordered_map<const TSurgeryType*, TTypeFields> FFields;
};

TJson Document(const TInstance& Instance, const TTypeTable& Types)
{
    TJson Surgeries = TJson::array();
    std::int64_t Number = 0;
    for (const auto& Surgery : Instance.Surgeries) {
        const TTypeFields& T = Types.Of(*Surgery->SurgeryType);
        Surgeries.push_back(TJson{{"number", ++Number},
                                  {"type_id", T.ID},
                                  {"kind", T.Kind},
                                  {"p1", T.P1},
                                  {"p2", T.P2},
                                  {"p3", T.P3},
                                  {"mean_minutes", T.MeanMinutes},
                                  {"sd_minutes", T.SdMinutes},
                                  {"x", T.X},
                                  {"y", T.Y}});
    }
    // The table has checked the numbers; Exported only takes away a negative zero here.
    return TJson{{"instance_file", Instance.FileName},
                 {"case_mix", Instance.CaseMix->Name},
                 {"or_days", Instance.NumberOfORs},
                 {"desired_load", Exported(Instance.DesiredLoad, Instance, "the desired load")},
                 {"load", Exported(Instance.Load, Instance, "the load")},
                 {"capacity_minutes", Exported(Instance.CaseMix->CapacityORinMinutes, Instance, "the OR-day capacity")},
                 {"surgeries", std::move(Surgeries)}};
}

// Collects what a writer hands out.
std::string Collected(const std::function<void(const TWriteSink&)>& Write)
{
    std::string Text;
    Write([&Text](const char* Bytes, std::size_t Size) { Text.append(Bytes, Size); });
    return Text;
}

}  // namespace

nlohmann::ordered_json InstanceDocument(const TInstance& Instance)
{
    return Document(Instance, TTypeTable({&Instance}));
}

void WriteInstancesJsonLines(const std::vector<const TInstance*>& Instances, const std::string& LineEnd,
                             const TWriteSink& Put)
{
    const TTypeTable Types(Instances);
    for (const TInstance* Instance : Instances) {
        std::string Line = Document(*Instance, Types).dump(-1, ' ', false, TJson::error_handler_t::replace);
        Line += LineEnd;
        Put(Line.data(), Line.size());
    }
}

std::string InstancesJsonLines(const std::vector<const TInstance*>& Instances, const std::string& LineEnd)
{
    return Collected([&](const TWriteSink& Put) { WriteInstancesJsonLines(Instances, LineEnd, Put); });
}

const char* const InstanceCsvHeader =
    "instance_file,case_mix,or_days,desired_load,load,capacity_minutes,number,"
    "type_id,kind,p1,p2,p3,mean_minutes,sd_minutes,x,y";

void WriteInstancesCsv(const std::vector<const TInstance*>& Instances, const std::string& LineEnd,
                       const TWriteSink& Put)
{
    const TTypeTable Types(Instances);
    constexpr std::size_t PieceSize = 1 << 20;
    std::string Piece = InstanceCsvHeader + LineEnd;
    for (const TInstance* Instance : Instances) {
        // "instance_file,case_mix,or_days,desired_load,load,capacity_minutes," of every row of the instance
        std::string Head = CsvField(Instance->FileName) + "," + CsvField(Instance->CaseMix->Name) + "," +
                           std::to_string(Instance->NumberOfORs);
        AppendFixedFields(Head, {Instance->DesiredLoad, Instance->Load, Instance->CaseMix->CapacityORinMinutes}, 9,
                          ',');
        Head += ',';
        std::int64_t Number = 0;
        for (const auto& Surgery : Instance->Surgeries) {
            Piece += Head;
            Piece += std::to_string(++Number);
            Piece += Types.Of(*Surgery->SurgeryType).CsvText;
            Piece += LineEnd;
            if (Piece.size() >= PieceSize) {
                Put(Piece.data(), Piece.size());
                Piece.clear();
            }
        }
    }
    if (!Piece.empty()) Put(Piece.data(), Piece.size());
}

std::string InstancesCsv(const std::vector<const TInstance*>& Instances, const std::string& LineEnd)
{
    return Collected([&](const TWriteSink& Put) { WriteInstancesCsv(Instances, LineEnd, Put); });
}

}  // namespace orbench
