// The manifest of the files a camera served: one line per file in the form
// sha256sum prints ("<hex digest>  <name>"), so that a download folder can be
// checked from outside with "sha256sum -c".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vcam/virtual_camera.h"

namespace kvx::vcam {

class Manifest {
public:
    explicit Manifest(std::string path);

    // Appends the line of one file; false (and a note on stderr) when the
    // manifest could not be written.
    bool Append(const std::string& hexDigest, const std::string& name) const;

    // The line as sha256sum writes it: a name with a backslash or a line
    // break is escaped and the line starts with a backslash.
    static std::string Line(const std::string& hexDigest, const std::string& name);
    // Digest of a file's bytes as a camera with these options serves them.
    static std::string DigestOf(const VirtualCameraOptions& options, const PictureFile& file);
    // Digest of the single file a host assembles from the parts of a Q7I
    // picture: the header block in a placeholder of ((A + B) & ~31) + 32
    // bytes, each part padded with zeros to a multiple of 32 (the last one
    // not), the trailer block, then the "SECf" frame directory and its offset.
    static std::string DigestOfAssembled(const VirtualCameraOptions& options,
                                         const std::vector<PictureFile>& parts);

private:
    std::string path_;
};

}  // namespace kvx::vcam
