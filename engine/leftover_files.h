// Picture files a previous run left behind in a destination folder, and
// kept partial files that a later download has made redundant.
//
// A run that is killed while it writes leaves its picture hidden under
// ".<final name>_temp". The next transfer into that folder deals with each
// such file once:
//   - empty: removed (it holds no bytes);
//   - a Q7I whose frame directory describes the file exactly: it was
//     written whole before the run ended, and gets its final name;
//   - anything else: it may be cut short, and nothing proves otherwise, so it
//     becomes visible as "<final name>.incomplete" and is never given a
//     final name. A Q7I being joined carries a join record after its last
//     joined part, which stays with it: its missing parts still join it.
// A name that is taken moves the file to the next free suffix of its name.
//
// A kept ".incomplete" file is removed only when a complete picture of the
// same type holds every one of its bytes at the same positions (a leading
// run of zeros, the placeholder of a Q7I whose header never came, holds
// nothing): then it is no longer the only copy of anything. One that still
// carries a join record waits for its missing parts and is left alone.
#pragma once

#include <cstdint>
#include <string>

namespace kvx::engine {

class CLeftoverFiles {
public:
    // Hidden files and kept files looked at per call.
    static constexpr size_t kMaxFiles = 1024;

    // Deals with every hidden "_temp" file of folder as described above.
    // Returns how many it dealt with.
    static int Recover(const std::string& folder);

    // Removes the ".incomplete" files of the folder of completePath that the
    // complete file holds whole. Returns how many went.
    static int RemoveSuperseded(const std::string& completePath);

    // True when the file at fd (size bytes) ends with a Q7I frame directory
    // that describes the whole file.
    static bool IsWholeQ7i(int fd, uint64_t size);
};

}  // namespace kvx::engine
