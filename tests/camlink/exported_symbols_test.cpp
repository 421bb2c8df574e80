// Each camera link library exports exactly its 35 functions: read from the
// dynamic symbol table of the built files.
#include <elf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

const std::set<std::string> kExports = {
    "InitPTPMode_Parts",
    "ReleaseDevInfo_Parts",
    "ZR4_GetActiveDriverInstance",
    "ZR4_GetCamConfig",
    "ZR4_GetCamConfigEx",
    "ZR4_GetCamStatus",
    "ZR4_GetCamStatus2",
    "ZR4_GetDataGroup1",
    "ZR4_GetDataGroup2",
    "ZR4_GetDataGroup3",
    "ZR4_GetDataGroup4",
    "ZR4_GetDataGroup5",
    "ZR4_GetDataGroup6",
    "ZR4_GetCanSetInfo",
    "ZR4_GetCanSetInfo2",
    "ZR4_GetCanSetInfo3",
    "ZR4_GetCanSetInfo4",
    "ZR4_GetCaptureStatus",
    "ZR4_GetPictFileInfo",
    "ZR4_GetPictFileInfo2",
    "ZR4_GetPartialPictFile",
    "ZR4_GetBigPartialPictFile",
    "ZR4_GetCamViewFrame",
    "CheckSumError_Parts",
    "ZR4_ClearImageDBSignle",
    "ZR4_ClearImageDBAll",
    "ZR4_CloseApplication",
    "ZR4_SetDataGroup1",
    "ZR4_SetDataGroup2",
    "ZR4_SetDataGroup3",
    "ZR4_SetDataGroup4",
    "ZR4_SetDataGroup5",
    "ZR4_SetDataGroup6",
    "ZR4_Snap",
    "ZR4_ClockAdjust",
};

template <typename T>
bool ReadAt(const std::vector<char>& file, uint64_t offset, T* out) {
    if (offset > file.size() || file.size() - offset < sizeof(T)) return false;
    std::memcpy(out, file.data() + offset, sizeof(T));
    return true;
}

// Names of the defined global and weak symbols of .dynsym that other
// objects can bind to (default or protected visibility).
std::vector<std::string> DefinedDynamicSymbols(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Elf64_Ehdr eh;
    if (!ReadAt(file, 0, &eh) || std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 ||
        eh.e_ident[EI_CLASS] != ELFCLASS64)
        return {};
    std::vector<Elf64_Shdr> sections(eh.e_shnum);
    for (size_t i = 0; i < sections.size(); ++i)
        if (!ReadAt(file, eh.e_shoff + i * eh.e_shentsize, &sections[i])) return {};
    std::vector<std::string> names;
    for (const Elf64_Shdr& s : sections) {
        if (s.sh_type != SHT_DYNSYM || s.sh_link >= sections.size() || s.sh_entsize == 0) continue;
        const Elf64_Shdr& strtab = sections[s.sh_link];
        for (uint64_t k = 1; k < s.sh_size / s.sh_entsize; ++k) {
            Elf64_Sym sym;
            if (!ReadAt(file, s.sh_offset + k * s.sh_entsize, &sym)) return {};
            const int bind = ELF64_ST_BIND(sym.st_info);
            const int vis = ELF64_ST_VISIBILITY(sym.st_other);
            if (sym.st_shndx == SHN_UNDEF || (bind != STB_GLOBAL && bind != STB_WEAK) ||
                (vis != STV_DEFAULT && vis != STV_PROTECTED))
                continue;
            if (sym.st_name >= strtab.sh_size) return {};
            const char* name = file.data() + strtab.sh_offset + sym.st_name;
            names.emplace_back(name, strnlen(name, strtab.sh_size - sym.st_name));
        }
    }
    return names;
}

class ExportedSymbols : public ::testing::TestWithParam<const char*> {};

TEST_P(ExportedSymbols, AreExactlyThe35Exports) {
    std::vector<std::string> names = DefinedDynamicSymbols(GetParam());
    ASSERT_FALSE(names.empty()) << "cannot read " << GetParam();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end()) << "duplicate symbol";
    std::set<std::string> found(names.begin(), names.end());
    std::vector<std::string> extra, missing;
    std::set_difference(found.begin(), found.end(), kExports.begin(), kExports.end(),
                        std::back_inserter(extra));
    std::set_difference(kExports.begin(), kExports.end(), found.begin(), found.end(),
                        std::back_inserter(missing));
    EXPECT_TRUE(extra.empty()) << "unexpected export: " << (extra.empty() ? "" : extra[0]) << " ("
                               << extra.size() << " in all)";
    EXPECT_TRUE(missing.empty()) << "missing export: " << (missing.empty() ? "" : missing[0]);
    EXPECT_EQ(kExports.size(), 35u);
}

INSTANTIATE_TEST_SUITE_P(BothLibraries, ExportedSymbols,
                         ::testing::Values(KVX_VUR1_LIBRARY, KVX_USB2_LIBRARY));

}  // namespace
