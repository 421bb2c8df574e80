// The mounted file systems the folder tree offers beside the user's folders:
// volumes (devices mounted under /media, /run/media or /mnt) and network
// file systems, read from the mount table.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kvx::prefs {

struct MountEntry {
    std::string device;  // "server:/export", "//nas/photos", "/dev/sdb1"
    std::string mountPoint;
    std::string type;  // "nfs4", "cifs", "ext4", ...
};

class CMountTable {
public:
    static constexpr const char* kDefaultPath = "/proc/self/mounts";

    // The entries of a mount table's text: device, mount point and type of
    // each line, with the table's octal escapes (\040 for a space) undone.
    // Lines with fewer than three fields are skipped.
    static std::vector<MountEntry> Parse(std::string_view text);
    // The table at path; empty when it cannot be read.
    static std::vector<MountEntry> Read(const std::string& path = kDefaultPath);

    // nfs, nfs4, cifs, smb3, smbfs, fuse.sshfs, davfs and fuse.davfs.
    static bool IsNetworkType(std::string_view type);
    // A block device mounted where the desktop mounts volumes.
    static bool IsVolume(const MountEntry& entry);
};

}  // namespace kvx::prefs
