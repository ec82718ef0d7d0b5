#pragma once

// Checks an output tree against the manifests the runs wrote into it: every listed file as it was
// written, and no file of a run's kinds that no manifest lists.

#include <functional>
#include <string>
#include <vector>

namespace orbench {

// Whether a file (path relative to the root, '/' between directories) is of the kinds a run
// writes.
using TRunFileTest = std::function<bool(const std::string& RelativePath)>;

struct TVerification {
    int NumManifests = 0;
    int NumListed = 0;
    std::vector<std::string> Missing;     // listed, not there
    std::vector<std::string> NotRegular;  // listed, but not a regular file reached without links:
                                          // "path (what stands there or on the way)"; never read
    std::vector<std::string> Changed;     // listed, different digest
    std::vector<std::string> Unlisted;    // of the run's kinds, not listed (sorted); a symbolic link
                                          // of such a name or to a folder as "path (a symbolic link)"

    bool Passed() const { return Missing.empty() && NotRegular.empty() && Changed.empty() && Unlisted.empty(); }
};

// The test `orbench-cli verify` uses: a file whose name is of a run's kinds (ClassifyRunFile:
// instances, their REMOVE_ forms, reports), in any folder below the root.
bool IsRunFilePath(const std::string& RelativePath);

// Reads the manifest.json of RootDirectory and those of its folders (a base folder holds one per
// case-mix folder; a case-mix folder or an output tree of an earlier version one of its own) and
// checks the tree against them. Below RootDirectory no symbolic link is followed: a listed file is
// read only when it and every folder on its way are what they seem (a fifo, device or link is
// reported, not read), and a linked folder is reported instead of being searched. EOrbenchError
// when there is no manifest, or one is not a regular file or invalid. Paths in the findings are
// relative to RootDirectory; listed files in manifest order (manifests in the order of their
// folders' names).
TVerification VerifyManifest(const std::string& RootDirectory, const TRunFileTest& IsRunFile);

}  // namespace orbench
