#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>

#include <nlohmann/json.hpp>

#include "TestHelpers.h"

namespace orbench {
namespace {

namespace fs = std::filesystem;
using testing::ReadAll;
using TJson = nlohmann::ordered_json;
using TNames = std::vector<std::string>;

struct TRun {
    int Code;
    std::string Out, Err;
};

// A surgery type of the case mix below, with its mean and standard deviation in minutes worked out
// here from the kind's formulas.
struct TType {
    int ID;
    const char* Kind;
    double P1, P2, P3, Mean, Sd;
    const char* Parameters;  // as an instance file lists them
};
const TType Normal{7, "Normal", 144, 115.2, 0, 144, 115.2, "144\t115.2\t0"};
// P3 is written as -0 in the case mix: it goes out as 0.
const TType Uniform{9, "Uniform", 30, 90, 0, 60, 60 / std::sqrt(12.0), "30\t90\t0"};
const TType Lognormal{5,
                      "ThreeParameterLognormal",
                      4,
                      0.5,
                      20,
                      std::exp(4.125) + 20,
                      std::sqrt((std::exp(0.25) - 1) * std::exp(8.25)),
                      "4\t0.5\t20"};
const std::vector<TType> InstanceA = {Normal, Uniform, Lognormal, Normal};
constexpr double Capacity = 400;

TNames Split(const std::string& Text, char Separator)
{
    TNames Parts;
    std::istringstream In(Text);
    for (std::string Part; std::getline(In, Part, Separator);) Parts.push_back(Part);
    return Parts;
}

// The type the schema gives a JSON value.
std::string SchemaType(const TJson& Value)
{
    if (Value.is_number_integer()) return "integer";
    if (Value.is_number_float()) return "number";
    if (Value.is_string()) return "string";
    return Value.is_array() ? "array" : "other";
}

// Object holds exactly the keys Part of the schema requires, in that order, each of the type the
// schema gives it; and the schema lists no property it does not require.
void ExpectSchemaKeys(const TJson& Object, const TJson& Part)
{
    TJson Keys = TJson::array(), Properties = TJson::array();
    for (const auto& [Key, Value] : Object.items()) {
        Keys.push_back(Key);
        EXPECT_EQ(Part["properties"].value(Key, TJson::object()).value("type", ""), SchemaType(Value)) << Key;
    }
    for (const auto& [Key, Value] : Part["properties"].items()) Properties.push_back(Key);
    EXPECT_EQ(Keys, Part["required"]);
    EXPECT_EQ(Properties, Part["required"]);
}

void ExpectClose(double Value, double Expected, const std::string& What)
{
    EXPECT_NEAR(Value, Expected, 1e-12 * std::abs(Expected)) << What;
}

class CliExport : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::WriteLines(Work.File("mix.txt"),
                            {"ID\tDistributionType\tP1\tP2\tP3\tFrequency", "7\tNormal\t144\t115.2\t0\t3",
                             "9\tUniform\t30\t90\t-0\t1", "5\tThreeParameterLognormal\t4\t0.5\t20\t1"});
        WriteInstance("a.txt", "mix", "2", "0.5", "0.4", InstanceA);
        WriteInstance("b,c.txt", "mix", "1", "0.25", "0.2", {Lognormal});
    }
    void WriteInstance(const std::string& Name, const std::string& CaseMix, const std::string& ORdays,
                       const std::string& DesiredLoad, const std::string& Load, const std::vector<TType>& Types) const
    {
        TNames Surgeries;
        for (const TType& Type : Types) Surgeries.push_back(Type.Parameters);
        testing::WriteLines(Work.File(Name),
                            testing::InstanceFileLines(CaseMix, ORdays, DesiredLoad, Load, "400", Surgeries));
    }
    // Runs the program in the working directory under the C locale, at the capacity of the instances.
    TRun Run(const std::string& Args) const
    {
        const std::string Cmd = "cd '" + Work.Path() + "' && LC_ALL=C '" ORBENCH_CLI_PATH "' --capacity 400 " + Args +
                                " >'" + Capture.File("out") + "' 2>'" + Capture.File("err") + "'";
        const int Status = std::system(Cmd.c_str());
        return {WIFEXITED(Status) ? WEXITSTATUS(Status) : -1, ReadAll(Capture.File("out")),
                ReadAll(Capture.File("err"))};
    }
    TNames Files() const
    {
        TNames Names;
        for (const auto& Entry : fs::directory_iterator(Work.Path())) Names.push_back(Entry.path().filename().string());
        std::sort(Names.begin(), Names.end());
        return Names;
    }
    testing::TTempDir Work, Capture;
};

TEST_F(CliExport, JsonCarriesWhatTheCaseMixSaysOfEachSurgery)
{
    const TRun R = Run("export --casemix mix.txt --format json a.txt");
    ASSERT_EQ(R.Code, 0) << R.Err;
    EXPECT_EQ(R.Err, "");
    ASSERT_EQ(std::count(R.Out.begin(), R.Out.end(), '\n'), 1) << R.Out;
    const TJson Doc = TJson::parse(R.Out);
    EXPECT_EQ(Doc["instance_file"], "a.txt");
    EXPECT_EQ(Doc["case_mix"], "mix");
    EXPECT_EQ(Doc["or_days"], 2);
    EXPECT_EQ(Doc["desired_load"], 0.5);
    EXPECT_EQ(Doc["load"], 0.4);  // as the file states it, not recomputed
    EXPECT_EQ(Doc["capacity_minutes"], Capacity);
    ASSERT_EQ(Doc["surgeries"].size(), InstanceA.size());
    for (std::size_t i = 0; i < InstanceA.size(); ++i) {
        const TJson& S = Doc["surgeries"][i];
        const TType& T = InstanceA[i];
        EXPECT_EQ(S["number"], i + 1);
        EXPECT_EQ(S["type_id"], T.ID);
        EXPECT_EQ(S["kind"], T.Kind);
        EXPECT_EQ(S["p1"], T.P1);
        EXPECT_EQ(S["p2"], T.P2);
        EXPECT_EQ(S["p3"], T.P3);
        EXPECT_FALSE(std::signbit(S["p3"].get<double>())) << i;
        ExpectClose(S["mean_minutes"], T.Mean, T.Kind);
        ExpectClose(S["sd_minutes"], T.Sd, T.Kind);
        ExpectClose(S["x"], T.Mean / Capacity, T.Kind);
        ExpectClose(S["y"], T.Sd / T.Mean, T.Kind);
    }

    const TJson Schema = TJson::parse(ReadAll(ORBENCH_DOCS_DIR "/instance.schema.json"));
    EXPECT_EQ(Schema["$schema"], "https://json-schema.org/draft/2020-12/schema");
    ExpectSchemaKeys(Doc, Schema);
    EXPECT_EQ(Schema["properties"]["surgeries"]["items"]["$ref"], "#/$defs/surgery");
    for (const TJson& S : Doc["surgeries"]) ExpectSchemaKeys(S, Schema["$defs"]["surgery"]);
}

TEST_F(CliExport, CsvHasTheHeaderAndARowPerSurgery)
{
    const TRun R = Run("export --casemix mix.txt --format csv a.txt");
    ASSERT_EQ(R.Code, 0) << R.Err;
    const TNames Lines = Split(R.Out, '\n');
    ASSERT_EQ(Lines.size(), 1 + InstanceA.size());
    EXPECT_EQ(Lines[0],
              "instance_file,case_mix,or_days,desired_load,load,capacity_minutes,number,type_id,kind,p1,p2,"
              "p3,mean_minutes,sd_minutes,x,y");
    const std::string Head = "a.txt,mix,2,0.500000000,0.400000000,400.000000000,";
    // Normal: X = 144 / 400, Y = 115.2 / 144; Uniform: sd 60 / sqrt(12), X = 60 / 400, Y = sd / 60.
    EXPECT_EQ(Lines[1], Head +
                            "1,7,Normal,144.000000000,115.200000000,0.000000000,144.000000000,115.200000000,"
                            "0.360000000,0.800000000");
    EXPECT_EQ(Lines[2], Head +
                            "2,9,Uniform,30.000000000,90.000000000,0.000000000,60.000000000,17.320508076,"
                            "0.150000000,0.288675135");
    const TNames Third = Split(Lines[3], ',');
    ASSERT_EQ(Third.size(), 16u);
    EXPECT_EQ(TNames(Third.begin() + 6, Third.begin() + 12),
              (TNames{"3", "5", "ThreeParameterLognormal", "4.000000000", "0.500000000", "20.000000000"}));
    EXPECT_NEAR(std::stod(Third[12]), Lognormal.Mean, 1e-9);
    EXPECT_NEAR(std::stod(Third[13]), Lognormal.Sd, 1e-9);
    EXPECT_EQ(Lines[4].rfind(Head + "4,7,Normal,", 0), 0u) << Lines[4];
}

TEST_F(CliExport, SeveralFilesComeInTheOrderGiven)
{
    const TRun Json = Run("export --casemix mix.txt --format json 'b,c.txt' a.txt");
    ASSERT_EQ(Json.Code, 0) << Json.Err;
    const TNames Documents = Split(Json.Out, '\n');
    ASSERT_EQ(Documents.size(), 2u);
    const std::pair<const char*, std::size_t> Expected[] = {{"b,c.txt", 1}, {"a.txt", InstanceA.size()}};
    for (std::size_t i = 0; i < 2; ++i) {
        const TJson Doc = TJson::parse(Documents[i]);
        EXPECT_EQ(Doc["instance_file"], Expected[i].first);
        EXPECT_EQ(Doc["surgeries"].size(), Expected[i].second);
    }

    const TRun Csv = Run("export --casemix mix.txt --format csv 'b,c.txt' a.txt");
    ASSERT_EQ(Csv.Code, 0) << Csv.Err;
    const TNames Lines = Split(Csv.Out, '\n');
    const TNames Keys = {"\"b,c.txt\",mix,1,0.250000000,0.200000000,400.000000000,1,5,",
                         "a.txt,mix,2,0.500000000,0.400000000,400.000000000,1,7,", "a.txt,mix,2,", "a.txt,mix,2,",
                         "a.txt,mix,2,0.500000000,0.400000000,400.000000000,4,7,"};
    ASSERT_EQ(Lines.size(), 1 + Keys.size());
    for (std::size_t i = 0; i < Keys.size(); ++i) EXPECT_EQ(Lines[i + 1].rfind(Keys[i], 0), 0u) << Lines[i + 1];
}

TEST_F(CliExport, FileLinesEndWithCrLfAndStdoutLinesWithLf)
{
    for (const std::string Format : {"json", "csv"}) {
        const std::string Args = "export --casemix mix.txt --format " + Format + " a.txt 'b,c.txt'";
        const TRun Out = Run(Args);
        ASSERT_EQ(Out.Code, 0) << Out.Err;
        EXPECT_EQ(Out.Out.find('\r'), std::string::npos) << Format;
        EXPECT_EQ(Out.Out.back(), '\n') << Format;
        const TRun ToFile = Run(Args + " --out out." + Format);
        ASSERT_EQ(ToFile.Code, 0) << ToFile.Err;
        EXPECT_EQ(ToFile.Out, "");
        EXPECT_EQ(ReadAll(Work.File("out." + Format)), std::regex_replace(Out.Out, std::regex("\n"), "\r\n"));
    }
}

TEST_F(CliExport, RefusalsWriteNothing)
{
    WriteInstance("stray.txt", "mix", "1", "0.5", "0.5", {Normal, {0, "", 0, 0, 0, 0, 0, "61\t6\t0"}});
    WriteInstance("other.txt", "other", "1", "0.5", "0.5", {Normal});
    fs::create_symlink("mix.txt", Work.File("link.json"));
    const TNames Inputs = Files();
    const std::string Export = "export --casemix mix.txt ";
    const struct {
        std::string Args;
        int Code;
        std::string Message;  // the whole of stderr
    } Refused[] = {
        {Export + "--format xml a.txt", 1, "--format xml: must be json or csv"},
        {Export + "a.txt", 1, "export needs --format (orbench-cli help export)"},
        {Export + "--format json", 1, "export needs at least one INSTANCE_FILE"},
        {"export --format json a.txt", 1, "export needs --casemix (orbench-cli help export)"},
        {Export + "--format json --out '' a.txt", 1, "--out: the path is empty"},
        {Export + "--format json ''", 1, "INSTANCE_FILE: the path is empty"},
        {Export + "--format csv nope.txt", 1, "nope.txt: File does not exist!"},
        {Export + "--format csv a.txt stray.txt", 1,
         "stray.txt, line 12: the surgery's parameters match no surgery type of case mix mix"},
        {Export + "--format csv other.txt", 1, "other.txt: Error! Cannot find case mix with name: other"},
        {Export + "--format json --out . a.txt", 2, ".: not a regular file (a directory)"},
        {Export + "--format json --out link.json a.txt", 2, "link.json: not a regular file (a symbolic link)"},
        {Export + "--format csv --out /dev/null a.txt", 2, "/dev/null: not a regular file (a character device)"},
    };
    for (const auto& [Args, Code, Message] : Refused) {
        const TRun R = Run(Args);
        EXPECT_EQ(R.Code, Code) << Args;
        EXPECT_EQ(R.Err, "orbench-cli: " + Message + "\n") << Args;
        EXPECT_EQ(R.Out, "") << Args;
        EXPECT_EQ(Files(), Inputs) << Args;
    }
    EXPECT_TRUE(fs::is_symlink(Work.File("link.json")));
}

}  // namespace
}  // namespace orbench
