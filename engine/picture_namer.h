// Where a transferred picture is stored and under which name: the user's
// renaming rules, the collision rules against what the destination folder
// already holds, and the on-disk forms of a picture file while it is written
// (hidden temporary, final, incomplete).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace kvx::engine {

class AppSettings;

// The preferences naming, storage and review read. Filled from the settings
// file by FromSettings; the preferences dialog may change them between two
// pictures.
struct NamingOptions {
    std::string destinationFolder;   // "Store_1.2" "Path"; empty: the program's folder
    std::string programFolder;       // used when destinationFolder is empty
    bool rename = false;             // "Rename_1.2" "Rename" non-zero
    std::string prefix = "IMG";      // "Store_1.2" "Prefix"
    std::string startNum = "10001";  // "Store_1.2" "StartNum", decimal text
    std::string columns = "5";       // "Store_1.2" "Columns", decimal text
    bool inCamera = true;            // "Store_1.2" "InCamera" non-zero
    bool inPC = false;               // "Store_1.2" "InPC" non-zero
    int reviewType = 0;              // "Review_1.2" "ReviewType"
    std::string reviewSoft;          // "Review_1.2" "ReviewSoft"
    std::string rawDeveloperPath;    // found at start-up; empty when none
    // Where a picture goes when its destination folder is gone (unmounted,
    // removed during the run), as NAME.incomplete; empty: nowhere (the
    // picture is read and reported failed). The command line sets it.
    std::string rescueFolder;

    // 1 card, 2 computer, 3 both, 0 neither: what the camera is told.
    int StorageDestination() const { return (inCamera ? 1 : 0) + (inPC ? 2 : 0); }

    static NamingOptions FromSettings(const AppSettings& settings,
                                      const std::string& rawDeveloperPath);
};

class CPictureNamer {
public:
    // Highest number the renaming search may choose.
    static constexpr int kMaxNumber = 9999999;
    // Suffix of the file a picture is written to before it is complete.
    static constexpr std::string_view kTempSuffix = "_temp";
    // Suffix of a picture whose transfer failed: its data is kept visible
    // under this name instead of the final one.
    static constexpr std::string_view kIncompleteSuffix = ".incomplete";

    // The destination folder with a trailing separator.
    static std::string DestinationFolder(const NamingOptions& options);
    // ".JPG", ".Q7F", ".Q7I", ".XCRAW" by format code; none for other codes.
    static std::optional<std::string> ExtensionFor(uint16_t formatCode);

    // A camera-supplied name made safe to use as one file name in the
    // destination folder: separators, "..", control characters and a leading
    // dot are replaced by '_', bytes that are not UTF-8 are read as Latin-1,
    // and an empty name becomes "unnamed". The result never leaves the folder.
    static std::string SafeFileName(std::string_view cameraName);

    // Destination path (the final name followed by "_temp") for one file of
    // a picture file list, or none when naming fails. first is true for entry
    // 0 of a list; number carries the picture number from the first file of
    // the list to the later ones.
    static std::optional<std::string> RenamePictureFile(const NamingOptions& options, bool first,
                                                        uint16_t formatCode,
                                                        const std::string& cameraName, int& number);

    // One file of a picture as the camera lists it.
    struct PictureFile {
        uint16_t formatCode = 0;
        std::string cameraName;
    };

    // Final paths (without "_temp") for every file of one picture, chosen
    // together so that they share one number (renaming) or one suffix
    // (camera names) and none of them is taken: a RAW and its JPEG never end
    // up under two different numbers. An entry is empty where that file
    // cannot be named (unlisted format); all are empty when no number is
    // left. number is the picture's number or suffix (0: the camera's names
    // as they are). With moveOn the search starts after number: the picture
    // has to move because one of its names was taken meanwhile.
    static std::vector<std::optional<std::string>> NamePicture(
        const NamingOptions& options, const std::vector<PictureFile>& files, int& number,
        bool moveOn = false);

    // The final name for a destination path: without its trailing "_temp".
    static std::string FinalPathOf(const std::string& destinationPath);
    // Where the file of a destination path lives while it is written: the
    // same folder, the name behind a leading dot.
    static std::string HiddenPathOf(const std::string& destinationPath);

    // Renames without ever replacing an existing file. False (errno set) when
    // to exists or the rename fails.
    static bool RenameNoReplace(const std::string& from, const std::string& to);

private:
    // Lower-case names of the folder's files and every stem of them that ends
    // before a dot, hidden and temporary forms included.
    static std::unordered_set<std::string> FolderStems(const std::string& folder);
    static bool StemTaken(const std::unordered_set<std::string>& stems, const std::string& stem);
    static bool FileTaken(const std::unordered_set<std::string>& stems, const std::string& name);
    static std::optional<int> SearchNumber(const std::unordered_set<std::string>& stems,
                                           const std::string& prefix, int digits, int start);
    static std::string Numbered(const std::string& prefix, int digits, int number,
                                const std::string& extension);
    static int SuffixSearch(const std::unordered_set<std::string>& stems, const std::string& base);
    static std::string Suffixed(const std::string& base, int a, const std::string& extension);
};

}  // namespace kvx::engine
