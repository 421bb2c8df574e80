#include "engine/leftover_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "engine/file_handle.h"
#include "engine/picture_namer.h"
#include "engine/q7i_join_record.h"
#include "log/write_log.h"

namespace kvx::engine {

namespace {

constexpr const char* kWhere = "CMainDlg::GetPictFileInfo";
constexpr size_t kCompareChunk = 64 * 1024;

uint32_t U32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

bool EndsWith(const std::string& s, std::string_view tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string LowerExtension(const std::string& name) {
    auto dot = name.rfind('.');
    std::string e = dot == std::string::npos ? std::string() : name.substr(dot);
    for (auto& c : e) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return e;
}

// Regular files of folder (never links), sorted, at most kMaxFiles that
// keep says are wanted.
template <typename Keep>
std::vector<std::string> Names(const std::string& folder, Keep keep) {
    std::vector<std::string> names;
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec), end;
    for (; !ec && it != end && names.size() < CLeftoverFiles::kMaxFiles; it.increment(ec)) {
        std::error_code typeEc;
        if (!it->is_regular_file(typeEc) || it->is_symlink(typeEc)) continue;
        std::string name = it->path().filename().string();
        if (keep(name)) names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Gives from the name folder + name + form, or, when that is taken, the
// first free suffix of name with the same form. Empty when it could not be
// renamed.
std::string Rename(const std::string& from, const std::string& folder, const std::string& name,
                   const std::string& form) {
    if (CPictureNamer::RenameNoReplace(from, folder + name + form)) return folder + name + form;
    if (errno != EEXIST) return {};
    NamingOptions options;
    options.destinationFolder = folder;
    std::vector<CPictureNamer::PictureFile> files{{0, name}};
    int number = 0;
    for (int attempt = 0; attempt < 8; ++attempt) {
        auto names = CPictureNamer::NamePicture(options, files, number, true);
        if (!names[0]) return {};
        if (CPictureNamer::RenameNoReplace(from, *names[0] + form)) return *names[0] + form;
        if (errno != EEXIST) return {};
    }
    return {};
}

}  // namespace

bool CLeftoverFiles::IsWholeQ7i(int fd, uint64_t size) {
    constexpr uint64_t kHead = 12;  // "SECf", version, entry count
    if (size < kHead + 4) return false;
    uint8_t last[4];
    if (!CFileHandle::ReadAt(fd, last, 4, size - 4)) return false;
    const uint64_t directory = U32(last);
    if (directory + kHead + 4 > size) return false;
    uint8_t head[kHead];
    if (!CFileHandle::ReadAt(fd, head, kHead, directory)) return false;
    if (std::memcmp(head, "SECf", 4) != 0 || U32(head + 4) != 0x100) return false;
    const uint64_t count = U32(head + 8);
    // At least one part and the trailer; the entries fill the rest exactly.
    if (count < 2 || directory + kHead + 12 * count + 4 != size) return false;
    std::vector<uint8_t> entries(static_cast<size_t>(12 * count));
    if (!CFileHandle::ReadAt(fd, entries.data(), entries.size(), directory + kHead)) return false;
    uint64_t expected = U32(entries.data());
    if (expected == 0 || expected % 32 != 0) return false;
    for (uint64_t i = 0; i < count; ++i) {
        const uint8_t* e = entries.data() + 12 * i;
        const uint64_t offset = U32(e), length = U32(e + 4);
        const bool trailer = i + 1 == count;
        if (std::memcmp(e + 8, trailer ? "QDLA" : "FRAM", 4) != 0 || offset != expected) {
            return false;
        }
        expected = offset + length;
        // Parts before the last start at multiples of 32.
        if (i + 2 < count) expected = (expected + 31) / 32 * 32;
    }
    return expected == directory;
}

int CLeftoverFiles::Recover(const std::string& folderIn) {
    std::string folder = folderIn;
    if (folder.empty() || folder.back() != '/') folder.push_back('/');
    const std::string temp(CPictureNamer::kTempSuffix);
    const auto hidden = Names(folder, [&](const std::string& n) {
        return n.size() > temp.size() + 1 && n[0] == '.' && EndsWith(n, temp);
    });
    int dealt = 0;
    for (const auto& name : hidden) {
        const std::string finalName = name.substr(1, name.size() - 1 - temp.size());
        // Only names this program gives: nothing else of the folder is ours.
        if (CPictureNamer::SafeFileName(finalName) != finalName) continue;
        const std::string path = folder + name;
        CFileHandle file(path, O_RDONLY);
        uint64_t size = 0;
        if (!file.RegularFile(size)) continue;
        ++dealt;
        if (size == 0) {
            if (::unlink(path.c_str()) == 0) {
                WriteLog(4, "--- empty leftover %s removed", path.c_str());
            }
            continue;
        }
        const bool whole = LowerExtension(finalName) == ".q7i" && IsWholeQ7i(file.Get(), size) &&
                           ::fdatasync(file.Get()) == 0;
        file.Close();
        const std::string form = whole ? "" : std::string(CPictureNamer::kIncompleteSuffix);
        const std::string kept = Rename(path, folder, finalName, form);
        if (kept.empty()) {
            WriteLog(1, "+++ Could not rename leftover %s (errno=%d) at %s +++", path.c_str(),
                     errno, kWhere);
        } else if (whole) {
            WriteLog(4, "--- leftover %s was whole, completed as %s", path.c_str(), kept.c_str());
        } else {
            WriteLog(1, "+++ leftover %s kept as %s at %s +++", path.c_str(), kept.c_str(), kWhere);
        }
    }
    return dealt;
}

int CLeftoverFiles::RemoveSuperseded(const std::string& completePath) {
    const auto slash = completePath.rfind('/');
    if (slash == std::string::npos) return 0;
    const std::string folder = completePath.substr(0, slash + 1);
    const std::string completeName = completePath.substr(slash + 1);
    const std::string extension = LowerExtension(completeName);
    const std::string incomplete(CPictureNamer::kIncompleteSuffix);
    const auto kept = Names(folder, [&](const std::string& n) {
        return n[0] != '.' && EndsWith(n, incomplete) &&
               LowerExtension(n.substr(0, n.size() - incomplete.size())) == extension;
    });
    if (kept.empty()) return 0;

    CFileHandle whole(completePath, O_RDONLY);
    uint64_t wholeSize = 0;
    if (!whole.RegularFile(wholeSize)) return 0;
    std::vector<uint8_t> a(kCompareChunk), b(kCompareChunk);
    int removed = 0;
    for (const auto& name : kept) {
        const std::string path = folder + name;
        CFileHandle file(path, O_RDONLY);
        uint64_t size = 0;
        if (!file.RegularFile(size)) continue;
        if (size > wholeSize) continue;  // an empty one holds nothing at all
        // Parts waiting to be joined are not a prefix of anything yet.
        uint8_t magic[8];
        if (size >= 8 && CFileHandle::ReadAt(file.Get(), magic, 8, size - 8) &&
            std::memcmp(magic, CQ7iJoinRecord::kMagic, 8) == 0) {
            continue;
        }
        // A kept Q7I starts with the zero placeholder its header was never
        // written into: zeros there hold nothing the complete file lacks.
        uint64_t from = 0;
        while (from < size) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(size - from, kCompareChunk));
            if (!CFileHandle::ReadAt(file.Get(), a.data(), n, from)) break;
            size_t zeros = 0;
            while (zeros < n && a[zeros] == 0) ++zeros;
            from += zeros;
            if (zeros < n) break;
        }
        bool same = true;
        for (uint64_t at = from; same && at < size;) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(size - at, kCompareChunk));
            same = CFileHandle::ReadAt(file.Get(), a.data(), n, at) &&
                   CFileHandle::ReadAt(whole.Get(), b.data(), n, at) &&
                   std::memcmp(a.data(), b.data(), n) == 0;
            at += n;
        }
        if (same && ::unlink(path.c_str()) == 0) {
            ++removed;
            WriteLog(4, "--- %s is held whole by %s, removed", path.c_str(), completePath.c_str());
        }
    }
    return removed;
}

}  // namespace kvx::engine
