#include "Manifest.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <set>

#include <nlohmann/json.hpp>

#include "FileUtils.h"
#include "Model.h"
#include "OrbenchError.h"
#include "OutputFiles.h"
#include "Sha256.h"
#include "TextUtils.h"

namespace fs = std::filesystem;

namespace orbench {

namespace {

using TJson = nlohmann::ordered_json;

constexpr const char* FormatName = "orbench-manifest";
constexpr int FormatVersion = 2;

struct TKindName {
    TManifestFileKind Kind;
    const char* Name;
};
constexpr TKindName KindNames[] = {
    {TManifestFileKind::fkInstance, "instance"},
    {TManifestFileKind::fkMarkedInstance, "marked_instance"},
    {TManifestFileKind::fkReport, "report"},
};

const char* KindName(TManifestFileKind Kind)
{
    for (const TKindName& Entry : KindNames)
        if (Entry.Kind == Kind) return Entry.Name;
    return "";
}

bool IsInstanceKind(TManifestFileKind Kind) { return Kind != TManifestFileKind::fkReport; }

// A field that is missing or of the wrong type, with the path of the field.
class TBadField : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

const TJson& Field(const TJson& Object, const std::string& Key)
{
    if (!Object.is_object()) throw TBadField("expected an object holding \"" + Key + "\"");
    const auto Found = Object.find(Key);
    if (Found == Object.end()) throw TBadField("\"" + Key + "\" is missing");
    return *Found;
}

std::string Text(const TJson& Object, const std::string& Key)
{
    const TJson& Value = Field(Object, Key);
    if (!Value.is_string()) throw TBadField("\"" + Key + "\" is not a text");
    return Value.get<std::string>();
}

bool Boolean(const TJson& Object, const std::string& Key)
{
    const TJson& Value = Field(Object, Key);
    if (!Value.is_boolean()) throw TBadField("\"" + Key + "\" is not true or false");
    return Value.get<bool>();
}

double NumberValue(const TJson& Value, const std::string& Key)
{
    if (!Value.is_number()) throw TBadField("\"" + Key + "\" is not a number");
    return Value.get<double>();
}

double Number(const TJson& Object, const char* Key) { return NumberValue(Field(Object, Key), Key); }

std::int64_t Integer(const TJson& Value, const std::string& Key, std::int64_t Min, std::int64_t Max)
{
    if (!Value.is_number_integer()) throw TBadField("\"" + Key + "\" is not an integer");
    if (Value.is_number_unsigned() ? Value.get<std::uint64_t>() > static_cast<std::uint64_t>(Max)
                                   : (Value.get<std::int64_t>() < Min || Value.get<std::int64_t>() > Max))
        throw TBadField("\"" + Key + "\" is out of range");
    return Value.get<std::int64_t>();
}

int Int(const TJson& Object, const char* Key)
{
    return static_cast<int>(
        Integer(Field(Object, Key), Key, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

const TJson& List(const TJson& Object, const std::string& Key)
{
    const TJson& Value = Field(Object, Key);
    if (!Value.is_array()) throw TBadField("\"" + Key + "\" is not a list");
    return Value;
}

}  // namespace

bool IsInsidePath(const std::string& Path)
{
    const fs::path P(Path);
    if (Path.empty() || P.is_absolute() || P.has_root_name() || P.has_root_directory()) return false;
    return std::none_of(P.begin(), P.end(), [](const fs::path& Part) { return Part == ".."; });
}

namespace {

TJson SettingsToJson(const TManifestSettings& S)
{
    TJson J;
    J["seed"] = S.Seed;
    J["generator_state"] = S.GeneratorState;
    J["capacity_minutes"] = S.CapacityORinMinutes;
    J["decimal_separator"] = S.DecimalSeparator;
    J["or_days"] = S.NumORdays;
    J["loads"] = S.Loads;
    J["per_combination"] = S.PerCombination;
    J["deviation"] = S.Deviation;
    J["select"] = S.Select;
    J["epsilon"] = S.Epsilon;
    J["distance"] = S.DeterministicDistance ? "deterministic" : "stochastic";
    J["analyze"] = S.Analyze;
    J["delete_others"] = S.DeleteOthers;
    J["save"] = S.Save;
    J["engine"] = S.Engine;
    J["max_draws"] = S.MaxDraws;
    return J;
}

TManifestSettings SettingsFromJson(const TJson& J)
{
    TManifestSettings S;
    constexpr std::int64_t LargestSeed = std::numeric_limits<std::uint32_t>::max();
    S.Seed = static_cast<std::uint32_t>(Integer(Field(J, "seed"), "seed", 0, LargestSeed));
    S.GeneratorState =
        static_cast<std::uint32_t>(Integer(Field(J, "generator_state"), "generator_state", 0, LargestSeed));
    S.CapacityORinMinutes = Number(J, "capacity_minutes");
    S.DecimalSeparator = Text(J, "decimal_separator");
    for (const TJson& Value : List(J, "or_days"))
        S.NumORdays.push_back(static_cast<int>(
            Integer(Value, "or_days", std::numeric_limits<int>::min(), std::numeric_limits<int>::max())));
    for (const TJson& Value : List(J, "loads")) S.Loads.push_back(NumberValue(Value, "loads"));
    S.PerCombination = Int(J, "per_combination");
    S.Deviation = Number(J, "deviation");
    S.Select = Int(J, "select");
    S.Epsilon = Number(J, "epsilon");
    const std::string Distance = Text(J, "distance");
    if (Distance != "deterministic" && Distance != "stochastic")
        throw TBadField("\"distance\" is neither \"deterministic\" nor \"stochastic\"");
    S.DeterministicDistance = Distance == "deterministic";
    S.Analyze = Boolean(J, "analyze");
    S.DeleteOthers = Boolean(J, "delete_others");
    S.Save = Boolean(J, "save");
    S.Engine = Text(J, "engine");
    S.MaxDraws = Integer(Field(J, "max_draws"), "max_draws", std::numeric_limits<std::int64_t>::min(),
                         std::numeric_limits<std::int64_t>::max());
    return S;
}

// The JSON texts of single values, exactly as the document's dump writes them.
void AppendJsonText(std::string& Out, std::string_view Text)
{
    const bool Plain = std::all_of(Text.begin(), Text.end(), [](char Ch) {
        const unsigned char C = static_cast<unsigned char>(Ch);
        return C >= 0x20 && C < 0x7f && C != '"' && C != '\\';
    });
    if (!Plain) {
        Out += TJson(std::string(Text)).dump(-1, ' ', false, TJson::error_handler_t::replace);
        return;
    }
    Out += '"';
    Out += Text;
    Out += '"';
}

void AppendJsonNumber(std::string& Out, double Value) { Out += TJson(Value).dump(); }

// One entry of the list of files as it stands at the third level of the document (every line
// indented by four more), without a line break after it.
void AppendFileEntry(std::string& Out, const TManifestFile& F, std::size_t PathFrom)
{
    Out += "    {\r\n      \"path\": ";
    AppendJsonText(Out, std::string_view(F.Path).substr(PathFrom));
    Out += ",\r\n      \"kind\": \"";
    Out += KindName(F.Kind);
    Out += "\",\r\n      \"sha256\": ";
    AppendJsonText(Out, F.Sha256);
    if (IsInstanceKind(F.Kind)) {
        Out += ",\r\n      \"case_mix\": ";
        AppendJsonText(Out, F.CaseMix);
        Out += ",\r\n      \"or_days\": ";
        Out += std::to_string(F.NumberOfORs);
        Out += ",\r\n      \"desired_load\": ";
        AppendJsonNumber(Out, F.DesiredLoad);
        Out += ",\r\n      \"load\": ";
        AppendJsonNumber(Out, F.Load);
        Out += ",\r\n      \"surgeries\": ";
        Out += std::to_string(F.NumberOfSurgeries);
    }
    Out += "\r\n    }";
}

// Text with CR LF in place of every LF.
std::string WithCrLf(std::string_view Text)
{
    std::string Result;
    Result.reserve(Text.size() + Text.size() / 16);
    for (const char Ch : Text) {
        if (Ch == '\n') Result += '\r';
        Result += Ch;
    }
    return Result;
}

TManifestFile FileFromJson(const TJson& J)
{
    TManifestFile F;
    F.Path = Text(J, "path");
    if (!IsInsidePath(F.Path)) throw TBadField("the path \"" + F.Path + "\" does not lie inside the directory");
    const std::string Kind = Text(J, "kind");
    const auto Found = std::find_if(std::begin(KindNames), std::end(KindNames),
                                    [&Kind](const TKindName& Entry) { return Kind == Entry.Name; });
    if (Found == std::end(KindNames)) throw TBadField("unknown file kind \"" + Kind + "\"");
    F.Kind = Found->Kind;
    F.Sha256 = Text(J, "sha256");
    if (IsInstanceKind(F.Kind)) {
        F.CaseMix = Text(J, "case_mix");
        F.NumberOfORs = Int(J, "or_days");
        F.DesiredLoad = Number(J, "desired_load");
        F.Load = Number(J, "load");
        F.NumberOfSurgeries = Int(J, "surgeries");
    }
    return F;
}

std::vector<const TManifestFile*> FileList(const TManifest& Manifest)
{
    std::vector<const TManifestFile*> Files;
    Files.reserve(Manifest.Files.size());
    for (const TManifestFile& F : Manifest.Files) Files.push_back(&F);
    return Files;
}

}  // namespace

namespace {}  // namespace

TManifestRecordText ManifestRecordText(const TManifest& Manifest)
{
    TJson J;
    J["format"] = FormatName;
    J["format_version"] = FormatVersion;
    J["program_version"] = Manifest.ProgramVersion;
    J["run"] = Manifest.Run;
    J["settings"] = SettingsToJson(Manifest.Settings);
    J["case_mixes"] = TJson::array();
    for (const TManifestCaseMix& CM : Manifest.CaseMixes)
        J["case_mixes"].push_back({{"file", CM.FileName},
                                   {"name", CM.Name},
                                   {"surgery_types", CM.NumSurgeryTypes},
                                   {"capacity_minutes", CM.CapacityORinMinutes},
                                   {"sha256", CM.Sha256}});
    // The list of files (tens of thousands after a theoretical batch) goes out entry by entry in the
    // place of a marker, rather than as part of one document.
    const std::string FilesMarker = "\x01files\x01";
    J["files"] = FilesMarker;
    J["messages"] = Manifest.Messages;
    J["stopped"] = Manifest.Stopped;
    J["draw_limit_passed"] = Manifest.DrawLimitPassed;
    J["error"] = Manifest.Error;
    J["elapsed_seconds"] = Manifest.ElapsedSeconds;
    // Line breaks appear only between elements (breaks inside texts are escaped).
    const std::string Dumped = J.dump(2, ' ', false, TJson::error_handler_t::replace);
    const std::string DumpedMarker = TJson(FilesMarker).dump();
    const std::size_t At = Dumped.find(DumpedMarker);
    const std::string_view Whole(Dumped);
    return {WithCrLf(Whole.substr(0, At)), WithCrLf(Whole.substr(At + DumpedMarker.size())) + "\r\n"};
}

namespace {

// The JSON text of a record (Record) with the list Files (each path from PathFrom on), handed to
// Put in pieces.
void WriteManifestJson(const TManifestRecordText& Record, const std::vector<const TManifestFile*>& Files,
                       std::size_t PathFrom, const TWriteSink& Put)
{
    constexpr std::size_t PieceSize = 1 << 16;
    std::string Piece = Record.Head;
    if (Files.empty()) {
        Piece += "[]";
    } else {
        Piece += "[";
        for (std::size_t i = 0; i < Files.size(); ++i) {
            Piece += i == 0 ? "\r\n" : ",\r\n";
            AppendFileEntry(Piece, *Files[i], PathFrom);
            if (Piece.size() >= PieceSize) {
                Put(Piece.data(), Piece.size());
                Piece.clear();
            }
        }
        Piece += "\r\n  ]";
    }
    Piece += Record.Tail;
    Put(Piece.data(), Piece.size());
}

}  // namespace

std::string ManifestToJson(const TManifest& Manifest)
{
    std::string Result;
    WriteManifestJson(ManifestRecordText(Manifest), FileList(Manifest), 0,
                      [&Result](const char* Bytes, std::size_t Size) { Result.append(Bytes, Size); });
    return Result;
}

TManifest ManifestFromJson(const std::string& JsonText, const std::string& Source)
{
    try {
        const TJson J = TJson::parse(JsonText);
        if (Text(J, "format") != FormatName) throw TBadField("\"format\" is not \"" + std::string(FormatName) + "\"");
        const int Version = Int(J, "format_version");
        if (Version < 1 || Version > FormatVersion)
            throw TBadField("format version " + std::to_string(Version) + " is not known to this program");
        TManifest M;
        M.ProgramVersion = Text(J, "program_version");
        M.Run = Text(J, "run");
        M.Settings = SettingsFromJson(Field(J, "settings"));
        for (const TJson& CM : List(J, "case_mixes"))
            M.CaseMixes.push_back({Text(CM, "file"), Text(CM, "name"), Int(CM, "surgery_types"), Text(CM, "sha256"),
                                   Number(CM, "capacity_minutes")});
        for (const TJson& F : List(J, "files")) M.Files.push_back(FileFromJson(F));
        for (const TJson& Line : List(J, "messages")) {
            if (!Line.is_string()) throw TBadField("\"messages\" holds something other than texts");
            M.Messages.push_back(Line.get<std::string>());
        }
        M.Stopped = Boolean(J, "stopped");
        M.DrawLimitPassed = Boolean(J, "draw_limit_passed");
        M.Error = Text(J, "error");
        M.ElapsedSeconds = Number(J, "elapsed_seconds");
        return M;
    } catch (const TBadField& E) {
        throw EOrbenchError(Source + ": not a valid manifest: " + E.what());
    } catch (const nlohmann::json::exception& E) {
        // The parser's message quotes what it read last, which may be a whole line of the file.
        throw EOrbenchError(Source + ": not a valid manifest: " + ShortenForMessage(E.what(), 160));
    }
}

void WriteManifest(const std::string& RootDirectory, const TManifest& Manifest)
{
    WriteFileStreamed(IncludeTrailingPathDelimiter(RootDirectory) + ManifestFileName,
                      [&Manifest](const TWriteSink& Put) {
                          WriteManifestJson(ManifestRecordText(Manifest), FileList(Manifest), 0, Put);
                      });
}

void WriteManifest(const std::string& RootDirectory, const TManifestRecordText& Record,
                   const std::vector<const TManifestFile*>& Files, std::size_t PathFrom)
{
    WriteFileStreamed(IncludeTrailingPathDelimiter(RootDirectory) + ManifestFileName,
                      [&](const TWriteSink& Put) { WriteManifestJson(Record, Files, PathFrom, Put); });
}

TManifest ReadManifest(const std::string& RootDirectory)
{
    const std::string FileName = IncludeTrailingPathDelimiter(RootDirectory) + ManifestFileName;
    if (!FileExists(FileName)) throw EOrbenchError(FileName + ": File does not exist!");
    std::string Content;
    ForEachTextFileLine(FileName, [&Content](const std::string& Line, int) {
        Content += Line;
        Content += '\n';
        return true;
    });
    return ManifestFromJson(Content, FileName);
}

void PrepareRootManifest(const std::string& RootDirectory, const std::vector<std::string>& Folders, bool Overwrite)
{
    const std::string Root = IncludeTrailingPathDelimiter(RootDirectory);
    const std::string FileName = Root + ManifestFileName;
    if (!PathExists(FileName)) return;
    TManifest Manifest;
    bool Readable = FileExists(FileName);
    if (Readable) {
        try {
            Manifest = ReadManifest(RootDirectory);
        } catch (const EOrbenchError&) {
            Readable = false;
        }
    }
    const auto InRunFolder = [&Folders](const TManifestFile& F) {
        const std::string Folder = F.Path.substr(0, F.Path.find('/'));
        return F.Path.find('/') != std::string::npos &&
               std::find(Folders.begin(), Folders.end(), Folder) != Folders.end();
    };
    if (Readable && std::none_of(Manifest.Files.begin(), Manifest.Files.end(), InRunFolder)) return;
    if (!Overwrite) throw EEarlierRunFiles({{Root, {ManifestFileName}}});
    std::erase_if(Manifest.Files, InRunFolder);
    if (Readable && !Manifest.Files.empty()) {
        WriteManifest(RootDirectory, Manifest);
        return;
    }
    std::error_code Ec;
    if (!fs::remove(FileName, Ec) || Ec)
        throw EOutputError(FileName + ": " + (Ec ? Ec.message() : std::string("cannot be deleted")));
}

}  // namespace orbench
