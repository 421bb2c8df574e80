// An installation below a root folder (a DESTDIR stage or an unpacked
// package) and a private work folder in which its programs run, with
// nothing of the build tree on their path or library path.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "child_process.h"

namespace kvx::test {

class InstalledTree {
public:
    InstalledTree(std::filesystem::path root, std::filesystem::path work);
    ~InstalledTree();
    InstalledTree(const InstalledTree&) = delete;
    InstalledTree& operator=(const InstalledTree&) = delete;

    const std::filesystem::path& Root() const { return root_; }
    std::filesystem::path Usr() const { return root_ / "usr"; }
    std::filesystem::path Bin(const std::string& program) const;
    const std::filesystem::path& Work() const { return work_; }
    // The per-user state folder of the installed programs.
    std::filesystem::path StateFolder() const;

    // Runs the programs through a command that changes the user (for
    // example setpriv), and hands the work folder to that user.
    void RunAs(std::vector<std::string> command, uid_t uid, gid_t gid);

    std::vector<std::string> Environment() const;
    ProgramResult Run(const std::string& program, const std::vector<std::string>& args) const;

    // Every file the installation holds, relative to the root ("usr/bin/..."),
    // as this build configured it.
    static std::vector<std::string> InstalledFiles();
    // The path of a file of the installation below the root.
    std::filesystem::path Installed(const std::string& relative) const { return root_ / relative; }

    // The program loads libVARNO_USB2 from this installation, not from the
    // build tree or the system.
    void ExpectLibraryFromThisTree(const std::string& program) const;

    // Plugs in the installed kvx-vcam, captures one picture with the
    // installed kvx-tether and checks every byte of the file against the
    // picture the camera made. programLogLevel goes to the settings file.
    void ExpectCaptureOfOnePicture(int programLogLevel = 0) const;

private:
    std::vector<std::string> Command(const std::string& program,
                                     const std::vector<std::string>& args) const;

    std::filesystem::path root_;
    std::filesystem::path work_;
    std::vector<std::string> runAs_;
};

}  // namespace kvx::test
