// Who hears of the picture transfer's files as they finish. The transfer
// calls it on the communication thread, with no lock held; an implementation
// hands the news on to its own thread and returns at once.
#pragma once

#include <cstdint>
#include <string>

namespace kvx::engine {

class ITransferListener {
public:
    virtual ~ITransferListener() = default;
    // One file of a picture ended: path is its final path, its ".incomplete"
    // form, or empty when nothing could be kept; complete only when it was
    // read and written whole under its final name.
    virtual void OnFileFinished(const std::string& cameraName, const std::string& path,
                                bool complete) = 0;
    // Bytes of the file being read so far, of its size.
    virtual void OnPictureProgress(const std::string& cameraName, uint64_t bytesDone,
                                   uint64_t bytesTotal) = 0;
};

}  // namespace kvx::engine
