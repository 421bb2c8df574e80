// What the folder tree reads and makes: the mount table, one folder's
// subfolders, and a new folder made only inside the chosen one.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>

#include "prefs/folder_lister.h"
#include "prefs/mount_table.h"
#include "tests/prefs/hostile_names.h"

namespace {

namespace fs = std::filesystem;
using kvx::prefs::CFolderLister;
using kvx::prefs::CMountTable;

TEST(MountTable, NetworkFileSystemsAndVolumes) {
    const std::string text =
        "/dev/nvme0n1p2 / ext4 rw,relatime 0 0\n"
        "proc /proc proc rw 0 0\n"
        "nas:/volume1/photos /mnt/photos nfs4 rw,vers=4.2 0 0\n"
        "//studio/Shoots\\040Archive /media/anna/Shoots\\040Archive cifs rw 0 0\n"
        "anna@host:/srv/pics /home/anna/remote fuse.sshfs rw 0 0\n"
        "https://dav.example/remote.php /mnt/dav davfs rw 0 0\n"
        "/dev/sdb1 /media/anna/CARD_A vfat rw 0 0\n"
        "/dev/sdc1 /run/media/anna/BACKUP exfat rw 0 0\n"
        "tmpfs /run tmpfs rw 0 0\n"
        "short line\n"
        "\n"
        "   \t  \n"
        "/dev/sda1 /boot ext4 rw 0 0";  // no line end at the end
    const auto all = CMountTable::Parse(text);
    ASSERT_EQ(all.size(), 10u);
    EXPECT_EQ(all[3].device, "//studio/Shoots Archive");
    EXPECT_EQ(all[3].mountPoint, "/media/anna/Shoots Archive");
    std::vector<std::string> network, volumes;
    for (const auto& m : all) {
        if (CMountTable::IsNetworkType(m.type)) network.push_back(m.mountPoint);
        if (CMountTable::IsVolume(m)) volumes.push_back(m.mountPoint);
    }
    EXPECT_EQ(network, (std::vector<std::string>{"/mnt/photos", "/media/anna/Shoots Archive",
                                                 "/home/anna/remote", "/mnt/dav"}));
    EXPECT_EQ(volumes, (std::vector<std::string>{"/media/anna/CARD_A", "/run/media/anna/BACKUP"}));
    // Escapes that are not three octal digits stay as they are; a cut one too.
    auto odd = CMountTable::Parse("a\\09z /m\\1 nfs 0 0\nx /y\\04");
    ASSERT_EQ(odd.size(), 1u);
    EXPECT_EQ(odd[0].device, "a\\09z");
    EXPECT_EQ(odd[0].mountPoint, "/m\\1");
    EXPECT_TRUE(CMountTable::Read("/nonexistent/mounts").empty());
}

class FolderWork : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/kvx-prefs-folders-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        root_ = tmpl;
        // Reachable for the unprivileged user of the rights checks.
        fs::permissions(root_,
                        fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
        fs::create_directories(root_ / "parent");
    }
    void TearDown() override {
        fs::permissions(root_ / "parent", fs::perms::owner_all, fs::perm_options::add);
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    // Every path under root, to see that nothing appeared anywhere else.
    std::vector<std::string> Everything() const {
        std::vector<std::string> out;
        for (auto& e : fs::recursive_directory_iterator(root_)) out.push_back(e.path());
        std::sort(out.begin(), out.end());
        return out;
    }
    fs::path root_;
};

TEST_F(FolderWork, SubfoldersAreOneLevelWithoutFilesOrHiddenFolders) {
    const fs::path p = root_ / "parent";
    fs::create_directories(p / "Shoots" / "deep" / "deeper");
    fs::create_directories(p / ".cache");
    fs::create_directories(p / "Other");
    std::ofstream(p / "notes.txt") << "x";
    fs::create_directory_symlink(p / "Other", p / "link-to-other");
    fs::create_symlink(p / "notes.txt", p / "link-to-file");
    fs::create_directory_symlink(p / "gone", p / "dangling");
    auto names = CFolderLister::Subfolders(p.string());
    ASSERT_TRUE(names);
    std::sort(names->begin(), names->end());
    EXPECT_EQ(*names, (std::vector<std::string>{"Other", "Shoots", "link-to-other"}));
    EXPECT_FALSE(CFolderLister::Subfolders((root_ / "missing").string()));
    EXPECT_FALSE(CFolderLister::Subfolders((p / "notes.txt").string()));
}

TEST_F(FolderWork, NewFolderOnlyInsideTheParent) {
    const auto before = Everything();
    for (const auto& h : kvx::test::HostileNames()) {
        if (h.folderOk) continue;
        SCOPED_TRACE(::testing::PrintToString(h.input));
        EXPECT_EQ(CFolderLister::MakeFolder((root_ / "parent").string(), h.input), EINVAL);
    }
    EXPECT_EQ(Everything(), before) << "no refused name made anything anywhere";

    EXPECT_EQ(CFolderLister::MakeFolder((root_ / "parent").string(), "Shots"), 0);
    EXPECT_TRUE(fs::is_directory(root_ / "parent" / "Shots"));
    EXPECT_EQ(CFolderLister::MakeFolder((root_ / "parent").string(), "Shots"), EEXIST);
    EXPECT_EQ(CFolderLister::MakeFolder((root_ / "missing").string(), "Shots"), ENOENT);

    fs::permissions(root_ / "parent", fs::perms::owner_read | fs::perms::owner_exec |
                                          fs::perms::others_read | fs::perms::others_exec);
    // Folder rights do not bind root, so the attempt runs as nobody.
    EXPECT_EXIT(
        {
            if (::geteuid() == 0 && ::seteuid(65534) != 0) std::_Exit(2);
            std::_Exit(CFolderLister::MakeFolder((root_ / "parent").string(), "Denied"));
        },
        ::testing::ExitedWithCode(EACCES), "");
    EXPECT_FALSE(fs::exists(root_ / "parent" / "Denied"));
}

}  // namespace
