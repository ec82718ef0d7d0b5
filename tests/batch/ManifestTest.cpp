#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include <sys/stat.h>

#include "ManifestRecorder.h"
#include "ManifestVerify.h"
#include "OrbenchError.h"
#include "Sha256.h"
#include "TestHelpers.h"

namespace orbench {
namespace {

namespace fs = std::filesystem;
using testing::ReadAll;
using testing::TTempDir;
using testing::WriteLines;

TEST(Sha256, KnownDigestsOfTextsAndFiles)
{
    TTempDir Dir;
    const struct {
        std::string Bytes;
        const char* Hex;
    } Cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& [Bytes, Hex] : Cases) {
        EXPECT_EQ(Sha256Hex(Bytes), Hex);
        std::ofstream(Dir.File("f"), std::ios::binary) << Bytes;
        EXPECT_EQ(Sha256HexOfFile(Dir.File("f")), Hex);
    }
    EXPECT_THROW(Sha256HexOfFile(Dir.File("none")), EOrbenchError);
}

// A small run into Root: three instances of the case mix "CM" (one written twice, one renamed to
// its REMOVE_ form, one whose rename did not take place) and a report.
class Manifest : public ::testing::Test {
protected:
    Manifest()
    {
        WriteLines(Inputs.File("CM.txt"), {"ID\tDistributionType\tP1\tP2\tP3\tFrequency",
                                           "1\tNormal\t60.000000000\t6.000000000\t0.000000000\t0.500000000",
                                           "2\tNormal\t120.000000000\t24.000000000\t0.000000000\t0.500000000"});
        Data.ReadAndAddCaseMix(Inputs.File("CM.txt"), 480);
        CaseMixDigest = Sha256Hex(ReadAll(Inputs.File("CM.txt")));
        WriteLines(Inputs.File("CM.txt"), {"changed after reading"});  // the manifest names the bytes read
        CM = Data.CaseMixes.front().get();
        fs::create_directories(Root.File("CM"));
    }

    // The instance file name of instance i in the case mix directory.
    std::string InstanceFile(int i, const std::string& Prefix = "") const
    {
        return Root.File("CM/" + Prefix + "ordays_1_load_0.8_" + std::to_string(i) + ".txt");
    }

    void Run(TManifestRecorder& Recorder)
    {
        Recorder.CaseMixRead(*CM);
        Recorder.FolderStarted("CM");
        for (int i = 0; i < 3; ++i) {
            TInstance* I = CM->CreateAndAddInstance(0.75 + 0.01 * i, 0.8, 1);
            for (int s = 0; s <= i; ++s)
                I->Surgeries.push_back(std::make_unique<TSurgery>(CM->SurgeryTypes[s % 2].get(), &Data));
            I->FileName = InstanceFile(i);
            I->SaveInstance();
            Recorder.InstanceWritten(*I);
        }
        TInstance& First = *CM->Instances[0];
        First.Load = 0.5;  // written again with other content
        First.SaveInstance();
        Recorder.InstanceWritten(First);
        // The second instance's rename fails: the recorder is not told, and the file keeps its name.
        TInstance& Marked = *CM->Instances[1];
        const std::string Old = Marked.FileName;
        Marked.FileName = InstanceFile(1, "REMOVE_");
        fs::rename(Old, Marked.FileName);
        Recorder.InstanceMarked(Old, Marked);
        WriteLines(Root.File("CM/overlap_CM_ordays_1_load_0.8.txt"), {"Overlap between 3 instances:"});
        Recorder.ReportWritten(Root.File("CM/overlap_CM_ordays_1_load_0.8.txt"));
        // A fourth instance file written, then deleted again by the run: no longer listed.
        WriteLines(InstanceFile(3), {"replaced"});
        Recorder.ReportWritten(InstanceFile(3));
        fs::remove(InstanceFile(3));
        Recorder.FileRemoved(InstanceFile(3));
        Recorder.Message("Instance generation interrupted after case mix CM, #ORdays: 1");
        Recorder.Finish(true, false);
    }

    static bool IsRunFile(const std::string& Path)
    {
        const std::string Name = fs::path(Path).filename().string();
        return Name.rfind("ordays_", 0) == 0 || Name.rfind("REMOVE_", 0) == 0 || Name.rfind("overlap_", 0) == 0;
    }

    TTempDir Inputs, Root;
    TData Data;
    TCaseMix* CM;
    std::string CaseMixDigest;
};

TEST_F(Manifest, RecordsExactlyTheFilesTheRunLeftWithDigestsAndKinds)
{
    TManifestSettings Settings;
    Settings.NumORdays = {1};
    Settings.Loads = {0.8};
    TManifestRecorder Recorder(Root.Path() + "/", "1.2.3", "batch", Settings);
    Run(Recorder);
    EXPECT_THROW(Recorder.ReportWritten(Inputs.File("CM.txt")), EOrbenchError);  // outside the root

    // One manifest, in the folder the run wrote into, its paths relative to that folder.
    EXPECT_FALSE(fs::exists(Root.File("manifest.json")));
    const std::string Json = ReadAll(Root.File("CM/manifest.json"));
    EXPECT_EQ(Json.substr(Json.size() - 2), "\r\n");
    EXPECT_EQ(std::count(Json.begin(), Json.end(), '\n'), std::count(Json.begin(), Json.end(), '\r'));
    const TManifest M = ReadManifest(Root.File("CM"));
    EXPECT_EQ(M, Recorder.FolderManifest("CM"));
    EXPECT_EQ(M.Files.size(), Recorder.Manifest().Files.size());
    EXPECT_EQ(M.ProgramVersion, "1.2.3");
    EXPECT_EQ(M.Settings, Settings);
    ASSERT_EQ(M.CaseMixes.size(), 1u);
    const std::string CaseMixFile = Inputs.File("CM.txt");
    EXPECT_EQ(M.CaseMixes[0], (TManifestCaseMix{CaseMixFile, "CM", 2, CaseMixDigest, 480}));
    EXPECT_EQ(M.Messages, std::vector<std::string>{"Instance generation interrupted after case mix CM, #ORdays: 1"});
    EXPECT_TRUE(M.Stopped);
    EXPECT_FALSE(M.DrawLimitPassed);
    EXPECT_EQ(M.Error, "");
    EXPECT_GE(M.ElapsedSeconds, 0);

    using K = TManifestFileKind;
    const struct {
        std::string Path;
        K Kind;
        double Load;
        int Surgeries;
    } Expected[] = {
        {"ordays_1_load_0.8_0.txt", K::fkInstance, 0.5, 1},
        {"REMOVE_ordays_1_load_0.8_1.txt", K::fkMarkedInstance, 0.76, 2},
        {"ordays_1_load_0.8_2.txt", K::fkInstance, 0.77, 3},
        {"overlap_CM_ordays_1_load_0.8.txt", K::fkReport, 0, 0},
    };
    ASSERT_EQ(M.Files.size(), std::size(Expected));
    for (std::size_t i = 0; i < M.Files.size(); ++i) {
        const TManifestFile& F = M.Files[i];
        SCOPED_TRACE(F.Path);
        EXPECT_EQ(F.Path, Expected[i].Path);
        EXPECT_EQ(F.Kind, Expected[i].Kind);
        EXPECT_EQ(F.Sha256, Sha256Hex(ReadAll(Root.File("CM/" + F.Path))));
        EXPECT_EQ(F.Load, Expected[i].Load);
        EXPECT_EQ(F.NumberOfSurgeries, Expected[i].Surgeries);
        EXPECT_EQ(F.CaseMix, F.Kind == K::fkReport ? "" : "CM");
        EXPECT_EQ(F.NumberOfORs, F.Kind == K::fkReport ? 0 : 1);
        EXPECT_EQ(F.DesiredLoad, F.Kind == K::fkReport ? 0 : 0.8);
    }
}

TEST_F(Manifest, VerifierFindsChangedMissingAndUnlistedFiles)
{
    TManifestRecorder Recorder(Root.Path(), "1.2.3", "batch", {});
    Run(Recorder);
    TVerification Clean = VerifyManifest(Root.Path(), IsRunFile);
    EXPECT_TRUE(Clean.Passed());
    EXPECT_EQ(Clean.NumListed, 4);

    std::string Bytes = ReadAll(InstanceFile(0));
    Bytes[Bytes.size() / 2] ^= 1;
    std::ofstream(InstanceFile(0), std::ios::binary) << Bytes;
    fs::remove(Root.File("CM/overlap_CM_ordays_1_load_0.8.txt"));
    WriteLines(InstanceFile(9), {"# INSTANCE CHARACTERISTICS"});
    WriteLines(Root.File("CM/notes.txt"), {"not a file of the run"});
    std::set<std::string> Asked;
    const TVerification Found = VerifyManifest(Root.Path() + "/", [&Asked](const std::string& Path) {
        Asked.insert(Path);
        return IsRunFile(Path);
    });
    EXPECT_FALSE(Found.Passed());
    EXPECT_EQ(Found.Changed, std::vector<std::string>{"CM/ordays_1_load_0.8_0.txt"});
    EXPECT_EQ(Found.Missing, std::vector<std::string>{"CM/overlap_CM_ordays_1_load_0.8.txt"});
    EXPECT_EQ(Found.Unlisted, std::vector<std::string>{"CM/ordays_1_load_0.8_9.txt"});
    EXPECT_EQ(Asked, (std::set<std::string>{"CM/notes.txt", "CM/ordays_1_load_0.8_9.txt"}));

    // The case-mix folder alone can be verified too.
    EXPECT_EQ(VerifyManifest(Root.File("CM"), IsRunFile).Changed, std::vector<std::string>{"ordays_1_load_0.8_0.txt"});
    fs::remove(Root.File("CM/manifest.json"));
    EXPECT_THROW(VerifyManifest(Root.Path(), IsRunFile), EOrbenchError);
}

// Below the root nothing is followed or read that is not a regular file: a fifo (which would make a
// reader wait forever), a link to a device (which would never end) and a linked case-mix folder
// (a copy elsewhere, which would pass as the run's files) are reported, not read.
TEST_F(Manifest, VerifierReadsNoFifoLinkOrLinkedFolder)
{
    TManifestRecorder Recorder(Root.Path(), "1.2.3", "batch", {});
    Run(Recorder);
    fs::remove(InstanceFile(0));
    ASSERT_EQ(mkfifo(InstanceFile(0).c_str(), 0600), 0);
    fs::remove(InstanceFile(2));
    fs::create_symlink("/dev/zero", InstanceFile(2));
    fs::create_directories(Root.File("elsewhere"));
    WriteLines(Root.File("elsewhere/ordays_1_load_0.8_5.txt"), {"# INSTANCE CHARACTERISTICS"});
    fs::create_symlink(Root.File("elsewhere"), Root.File("linked"));
    fs::create_symlink(Root.File("elsewhere/ordays_1_load_0.8_5.txt"), Root.File("CM/ordays_1_load_0.8_7.txt"));
    const TVerification Found = VerifyManifest(Root.Path(), IsRunFile);
    EXPECT_EQ(Found.NotRegular, (std::vector<std::string>{"CM/ordays_1_load_0.8_0.txt (a fifo)",
                                                          "CM/ordays_1_load_0.8_2.txt (a symbolic link)"}));
    EXPECT_EQ(Found.Unlisted,
              (std::vector<std::string>{"CM/ordays_1_load_0.8_7.txt (a symbolic link)",
                                        "elsewhere/ordays_1_load_0.8_5.txt", "linked (a symbolic link)"}));
    EXPECT_TRUE(Found.Missing.empty() && Found.Changed.empty());

    // A whole case-mix folder that is a link to a copy: its manifest is not taken, the link is reported.
    fs::rename(Root.File("CM"), Root.File("copy"));
    fs::create_symlink(Root.File("copy"), Root.File("CM"));
    fs::remove(Root.File("copy/ordays_1_load_0.8_0.txt"));
    fs::remove(Root.File("copy/ordays_1_load_0.8_2.txt"));
    fs::remove(Root.File("copy/ordays_1_load_0.8_7.txt"));
    const TVerification Linked = VerifyManifest(Root.Path(), IsRunFile);
    EXPECT_FALSE(Linked.Passed());
    EXPECT_EQ(Linked.NumManifests, 1);  // the copy's own; the one behind the link is not read
    EXPECT_NE(std::find(Linked.Unlisted.begin(), Linked.Unlisted.end(), "CM (a symbolic link)"), Linked.Unlisted.end());

    // A manifest that is not a regular file is refused; a parser's error is cut short.
    fs::remove(Root.File("copy/manifest.json"));
    fs::create_symlink("/dev/zero", Root.File("copy/manifest.json"));
    EXPECT_THROW(VerifyManifest(Root.File("copy"), IsRunFile), EOrbenchError);
    try {
        ManifestFromJson("[" + std::string(5000, '1') + "x");
        ADD_FAILURE() << "accepted";
    } catch (const EOrbenchError& E) {
        EXPECT_LT(std::string(E.what()).size(), 300u) << E.what();
    }
}

TEST(ManifestJson, RoundTripKeepsEveryField)
{
    TManifest M;
    M.ProgramVersion = "0.9.1-rc";
    M.Run = "theoretical-batch";
    M.Settings = {4294967295u, 450.5, ",",      {40, 5, 40}, {0.1 + 0.2, 1e-5, 1.2}, 7, 0.0125, 3, 0.3, true, false,
                  false,       false, "solver", 5000000000};
    M.CaseMixes = {{"/data/a b.txt", "a b", 19, Sha256Hex("a")}, {"", "TCM3", 0, ""}};
    using K = TManifestFileKind;
    M.Files = {{"TCM3/ordays_5_load_0.85_0.txt", Sha256Hex("x"), K::fkInstance, "TCM3", 5, 0.85, 0.851234567890123, 17},
               {"TCM3/REMOVE_ordays,5.txt", Sha256Hex("y"), K::fkMarkedInstance, "TCM3", 5, 0.85, 0.86, 0},
               {"TCM3/proximity_TCM3.txt", Sha256Hex("z"), K::fkReport, "", 0, 0, 0, 0}};
    M.Messages = {"line with \"quotes\"\tand a tab", "Could not generate all instances for case mix TCM3, #ORdays: 5"};
    M.Settings.GeneratorState = 7;
    M.CaseMixes[0].CapacityORinMinutes = 450.5;
    M.Stopped = false;
    M.DrawLimitPassed = true;
    M.Error = "out/a: No space left on device";
    M.ElapsedSeconds = 12.345678;
    TTempDir Dir;
    WriteManifest(Dir.Path(), M);
    EXPECT_EQ(ReadManifest(Dir.Path()), M);
}

TEST(ManifestJson, RefusesWhatIsNotAManifest)
{
    TManifest M;
    M.Files = {{"CM/a.txt", Sha256Hex("a"), TManifestFileKind::fkInstance, "CM", 5, 0.8, 0.8, 3}};
    const std::string Good = ManifestToJson(M);
    ASSERT_NO_THROW(ManifestFromJson(Good));
    const auto Replaced = [&Good](const std::string& From, const std::string& To) {
        const std::size_t At = Good.find(From);
        EXPECT_NE(At, std::string::npos) << From;
        return std::string(Good).replace(At, From.size(), To);
    };
    for (const std::string& Bad :
         {Good.substr(0, Good.size() / 2), Replaced("\"settings\"", "\"setting\""),
          Replaced("\"CM/a.txt\"", "\"../a.txt\""), Replaced("\"CM/a.txt\"", "\"/etc/a.txt\""),
          Replaced("\"instance\"", "\"picture\""), Replaced("\"seed\": 12345", "\"seed\": -1"),
          Replaced("\"format_version\": 2", "\"format_version\": 3"), Replaced("\"stopped\": false", "\"stopped\": 0"),
          Replaced("\"surgeries\": 3", "\"surgeries\": \"3\"")}) {
        SCOPED_TRACE(Bad);
        EXPECT_THROW(ManifestFromJson(Bad), EOrbenchError);
    }
}

}  // namespace
}  // namespace orbench
