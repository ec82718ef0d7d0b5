#pragma once

// The domain: the model root (TData) owning case mixes (TCaseMix) of surgery types
// (TSurgeryType, each with a TDistribution), and instances (TInstance) of surgeries (TSurgery).
// Declared here, defined by topic:
//   Model.cpp               construction, ownership and lookups: TData, TCaseMix, TSurgeryType,
//                           TSurgery, TInstance, TInstanceList; relative frequencies, centre of mass
//   CaseMixFile.cpp         reading and writing case mix files (TData::ReadAndAddCaseMix,
//                           TCaseMix::WriteCaseMix)
//   InstanceFile.cpp        instance files: FileText, SaveInstance, ReadAndAddInstance,
//                           CheckEverySurgeryRead
//   CaseMixTypes.cpp        the 17 regions of the plane (IsPointOfCaseMixType,
//                           TSurgeryType::IsCaseMixType, FillAuxSurgeryTypeList)
//   InstanceGeneration.cpp  the batch generator (GenerateInstances, its tuning, the draws,
//                           DrawLimitCause, TooManySurgeries)
//   TheoreticalCaseMix.cpp  surgery types made from points: the theoretical grid, types made on the
//                           fly, RequireFinitePointTypes
//   InstanceFill.cpp        the main window's fill loop (InstanceFill.h)
// Distributions, sampling and the generator have their own headers (Distribution.h,
// DurationSampling.h, UniformGenerator.h); files, text and errors live in src/base.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BlockPool.h"
#include "Distribution.h"
#include "Notifier.h"
#include "UniformGenerator.h"

namespace orbench {

class TData;
class TCaseMix;
class TSurgeryType;
class TSurgery;
class TInstance;

using DArray = std::vector<double>;
using IntArray = std::vector<std::int32_t>;
using DoubArray = std::vector<double>;
using DoubDoubArray = std::vector<DoubArray>;

// Identifiers 0, 1, 2, ... in creation order over all objects of one model.
class TGenerateObjectID {
public:
    int LastID = -1;
    int GetUniqueID() { return ++LastID; }
    void Reset() { LastID = -1; }
};

// A list of instances that owns them (frees them when they leave it) or only refers to them.
class TInstanceList {
public:
    explicit TInstanceList(bool AOwnsObjects = true) : FOwnsObjects(AOwnsObjects) {}
    ~TInstanceList();
    TInstanceList(const TInstanceList&) = delete;
    TInstanceList& operator=(const TInstanceList&) = delete;

    bool OwnsObjects() const { return FOwnsObjects; }
    int Count() const { return static_cast<int>(FItems.size()); }
    bool Empty() const { return FItems.empty(); }
    TInstance* operator[](int Index) const { return FItems.at(static_cast<std::size_t>(Index)); }
    TInstance* First() const { return FItems.empty() ? nullptr : FItems.front(); }
    TInstance* Last() const { return FItems.empty() ? nullptr : FItems.back(); }

    int Add(TInstance* Instance);
    void Insert(int Index, TInstance* Instance);
    int IndexOf(const TInstance* Instance) const;
    // Removes the first occurrence (freeing it when owning); returns its former index or -1.
    int Remove(TInstance* Instance);
    // Removes the item at Index (freeing it when owning).
    void Delete(int Index);
    // Takes an item out without freeing it; returns it, or nullptr when it is not in the list.
    TInstance* Extract(TInstance* Instance);
    TInstance* ExtractAt(int Index);
    // Removes every item (freeing them when owning).
    void Clear();
    // Removes (and when owning frees) every instance with NumberOfORs = NumOrs, keeping the order
    // of the others.
    void ClearInstances(int NumOrs);
    // Removes (and when owning frees) the instances of Which, keeping the order of the others.
    void RemoveInstances(std::vector<TInstance*> Which);

    std::vector<TInstance*>::const_iterator begin() const { return FItems.begin(); }
    std::vector<TInstance*>::const_iterator end() const { return FItems.end(); }

private:
    void Release(TInstance* Instance);

    std::vector<TInstance*> FItems;
    bool FOwnsObjects;
};

// The root of the model: owns every case mix, the identifier generator and the uniform generator.
class TData {
public:
    TData();
    ~TData();
    TData(const TData&) = delete;
    TData& operator=(const TData&) = delete;

    TGenerateObjectID GenerateObjectID;
    TUniformGenerator Random;
    // Where user messages go; never owned. Defaults to stderr.
    TNotifier* Notifier;
    std::vector<std::unique_ptr<TCaseMix>> CaseMixes;

    // Reads a case mix file and appends the case mix; shows "File does not exist!" and adds
    // nothing when the file is missing; throws EOrbenchError (adding nothing) on bad content.
    void ReadAndAddCaseMix(const std::string& FileNm, double CapacityORinMinutes);
    // Reads an instance file into the case mix it names, returned in CM (nullptr, with a message,
    // when no such case mix is loaded).
    void ReadAndAddInstance(const std::string& FileNm, TCaseMix*& CM);
    void GenerateAndAddTheoreticalCaseMix(const std::string& CaseMixName, double MinX, double MaxX, double MinY,
                                          double MaxY, double StepX, double StepY, double CapacityORinMinutes,
                                          int NumSurgeryTypesPerGridPoint);
    TCaseMix* SelectCaseMixByName(const std::string& Name) const;

    void Notify(TMessageKind Kind, const std::string& Text) const { Notifier->ShowMessage(Kind, Text); }
};

// Called by GenerateInstances for every finished instance, after it was saved.
using TInstanceFinishedEvent = std::function<void(TInstance&)>;

// The main draws one call of GenerateInstances may make before it gives up (the batch window's
// limit).
constexpr int DefaultMaxDraws = 100000;

// The most surgeries one instance may hold. Generation (the batch generator, its tuning and the
// main window's fill loop) stops with TooManySurgeries when an instance would hold more: the mean
// durations are then far too small for the capacity, and the instance would grow without end.
constexpr std::size_t MaxSurgeriesPerInstance = 1000000;

// Why a generation call passed its draw limit, as far as the case mix tells: more draws may help
// (dcDraws), or they cannot, because an instance would need more surgeries than it may hold
// (dcTooManySurgeries) or because even the shortest surgery overshoots every load window
// (dcSurgeriesTooLong). For the latter two, Explanation says so in a sentence without a full stop.
// Surgery types made on the fly (a case mix without types) give dcDraws.
enum class TDrawLimitCause { dcDraws, dcTooManySurgeries, dcSurgeriesTooLong };
TDrawLimitCause DrawLimitCause(const TCaseMix& CaseMix, int CaseMixType, int NumORdays, const DArray& Loads,
                               double MaxAbsDeviationFromLoad, std::string& Explanation);

// Throws EOrbenchError when surgery types made from points of the plane (the theoretical grid from
// X = SmallestX, or types made on the fly) would have parameters that are not finite numbers at
// this capacity: the squares of their means underflow or overflow. The smallest X a draw can give
// is SmallestDrawnX.
void RequireFinitePointTypes(double CapacityORinMinutes, double SmallestX);
inline constexpr double SmallestDrawnX = 1.0 / 4294967296.0;

// Generation draws only from surgery types of positive frequency. Throws EOrbenchError ("case mix
// NAME has no surgery types of case-mix type T") when CaseMix has none of CaseMixType; fills its
// AuxSurgeryTypes for that type.
void RequireSurgeryTypesToDraw(TCaseMix& CaseMix, int CaseMixType);
// The same for a batch run, over every type: "case mix NAME has no surgery type with a positive
// frequency".
void RequireTypeOfPositiveFrequency(const TCaseMix& CaseMix);

// Throws the EOrbenchError of an instance of CaseMixName that would pass MaxSurgeriesPerInstance
// at an OR-day capacity of CapacityORinMinutes.
[[noreturn]] void TooManySurgeries(const std::string& CaseMixName, double CapacityORinMinutes);

class TCaseMix {
public:
    TCaseMix(TData* AData, int ACaseMixType, double ACapacityORinMinutes);
    ~TCaseMix();
    TCaseMix(const TCaseMix&) = delete;
    TCaseMix& operator=(const TCaseMix&) = delete;

    std::string FileName;
    // SHA-256 of the file's bytes as the reader read them (64 hexadecimal digits); empty for a
    // case mix made in memory.
    std::string FileSha256;
    std::string Name;
    int ID;
    std::vector<std::unique_ptr<TSurgeryType>> SurgeryTypes;
    std::vector<TSurgeryType*> AuxSurgeryTypes;
    TInstanceList Instances;
    int CaseMixType;
    double CapacityORinMinutes;
    TData* Data;
    // Whether a surgery type generated on the fly for a draw that tuning does not keep stays in
    // SurgeryTypes, as the type of every other draw does. A run that frees the generated types after
    // each GenerateInstances call turns this off, and such a type is then not built at all: the
    // draws, the identifiers taken and every instance stay the same.
    bool KeepTypesOfDiscardedDraws = true;

    void CalculateRelativeSurgeryTypeFrequencies();
    TInstance* CreateAndAddInstance(double ALoad, double ADesiredLoad, int ANumberOfORs);

    // Roulette draws by RelFrequency / AuxRelFrequency; nullptr for an empty list.
    TSurgeryType* DrawSurgeryType();
    TSurgeryType* DrawSurgeryTypeFromAuxSurgeryTypes();

    // False when more than MaxDraws main draws were made (the draw limit was passed).
    bool GenerateInstances(const DArray& LoadList, int DrawnCaseMixType, int NumInstancesPerLoad, int NumORdays,
                           double MaxAbsDeviationFromLoad, bool SaveInstances, const std::string& DirName,
                           bool GenerateSurgTypesOnTheFly, const TInstanceFinishedEvent& OnInstanceFinished = {},
                           int MaxDraws = DefaultMaxDraws);

    void FillAuxSurgeryTypeList(int WithCaseMixTp);
    void WriteCaseMix(const std::string& FileNm, int WriteOnlyCaseMixType);
    TSurgeryType* FindSurgeryTypeByCharacteristics(double P1, double P2, double P3) const;

    TSurgeryType* GenerateAndDrawRandomSurgeryType();
    // A random point of the region of CaseMixType; a point with X exactly 0 (a mean of 0) is drawn
    // again, both coordinates.
    void DrawRandomCoordinate(double& X, double& Y);

private:
    void TuneLoad(TInstance& Candidate, double TargetLoad, int NumORdays, bool GenerateSurgTypesOnTheFly);
    // The distribution GenerateAndDrawRandomSurgeryType makes, with its identifier and Expected
    // (not its Variance), and the type that keeps it (taking the next identifier).
    TDistribution DrawRandomDistribution();
    TSurgeryType* AddGeneratedSurgeryType(const TDistribution& Distribution);
    // The random numbers and identifiers of one draw on the fly whose surgery is not kept.
    void SkipGeneratedDraw();
};

class TSurgeryType : public TPooled<TSurgeryType> {
public:
    TSurgeryType(TData* AData, TCaseMix* ACaseMix, std::unique_ptr<TDistribution> ADistribution);
    ~TSurgeryType();
    TSurgeryType(const TSurgeryType&) = delete;
    TSurgeryType& operator=(const TSurgeryType&) = delete;

    int ID;
    double RelFrequency = 0;
    double AuxRelFrequency = 0;
    std::unique_ptr<TDistribution> Distribution;
    std::vector<std::unique_ptr<TSurgery>> Surgeries;
    double Xvalue = 0;
    double Yvalue = 0;
    TCaseMix* CaseMix;
    TData* Data;

    bool IsCaseMixType(int CaseMixType) const;
};

class TSurgery : public TPooled<TSurgery> {
public:
    TSurgery(TSurgeryType* ASurgeryType, TData* AData);

    int ID;
    TSurgeryType* SurgeryType;
    TData* Data;
};

class TInstance {
public:
    TInstance(TData* AData, TCaseMix* ACaseMix, double ALoad, double ADesiredLoad, int ANumberOfORs);
    TInstance(const TInstance&) = delete;
    TInstance& operator=(const TInstance&) = delete;

    std::vector<std::unique_ptr<TSurgery>> Surgeries;
    double Load;
    double DesiredLoad;
    int NumberOfORs;
    std::string Name;
    std::string FileName;
    TData* Data;
    TCaseMix* CaseMix;

    // Draws a surgery type (generated, from the auxiliary list or from the whole case mix) and
    // makes a surgery of it. When AddSurgery is false the caller owns the result.
    TSurgery* DrawSurgeryTypeAndAddSurgery(bool UseAuxSurgeryTypes, bool AddSurgery, bool GenerateSurgeryTypesOnTheFly);
    void CenterOfMass(double& X, double& Y) const;
    // The bytes of the instance file (CR LF line ends), and writing them to FileName.
    std::string FileText() const;
    // The same into Content (replaced; its memory is reused).
    void FileText(std::string& Content) const;
    void SaveInstance() const;
};

// Whether the point (X, Y) lies in the region of case-mix type 0..16; false for other numbers.
bool IsPointOfCaseMixType(int CaseMixType, double X, double Y);

// The instance reader drops a surgery line whose parameters match no surgery type of the case mix,
// which would shift the numbers of the surgeries after it. Where every surgery of the file is
// needed (sampling, statistics, exports), such a line refuses the file: throws EOrbenchError
// naming file and line.
void CheckEverySurgeryRead(const std::string& FileName, const TCaseMix& CaseMix);

// Number of case-mix types (0..16).
constexpr int NumCaseMixTypes = 17;

}  // namespace orbench
