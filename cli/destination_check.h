// Where kvx-tether puts pictures, and whether a picture can go there. The
// check runs before any release: a picture the camera has taken but this
// computer cannot store is a picture at risk, so a destination that cannot
// take one is refused first.
#pragma once

#include <cstdint>
#include <string>

namespace kvx::cli {

class CDestinationCheck {
public:
    // Room a destination must have before a release: a little more than a
    // large picture.
    static constexpr uint64_t kMinFreeBytes = 10ull * 1024 * 1024;

    // The user's pictures folder: $XDG_PICTURES_DIR, else ~/Pictures (the
    // installed program's own folder is never a place for pictures).
    static std::string PicturesFolder();
    // Where pictures go whose destination vanished during the run:
    // $XDG_STATE_HOME (absolute) or ~/.local/state, then
    // VARNO/Varno_Kolvex/rescued.
    static std::string RescueFolder();

    // Empty when `folder` exists, is a folder, can be written by this
    // process and has room; otherwise the problem in the user's words
    // ("destination is a file", "disk full", ...), naming the folder.
    static std::string Problem(const std::string& folder);
};

}  // namespace kvx::cli
