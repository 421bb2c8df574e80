// Whether a virtual camera's registration still has a camera behind it.
//
// A camera that is killed (or crashes) never unregisters: its description
// file and its socket file stay in the device folder, and a list that offers
// them sends every open to a socket nobody listens on. These helpers tell a
// live registration from a dead one without disturbing a live camera: a
// socket that the kernel lists as listening is taken as alive without any
// connection; only a socket that is not listed is probed with a connect that
// is closed at once.
//
// Usage:
//   for (const auto& r : kvx::device::ReadLiveRegistrations(dir)) ...
//       -> registrations whose socket listens, sorted by file name; the
//          plainly stale ones (socket file gone, or connect refused) are
//          removed from the folder on the way.
#pragma once

#include <string>
#include <vector>

#include "camlink/device/virtual_registration.h"

namespace kvx::device {

enum class SocketLiveness {
    Listening,  // someone accepts connections on it
    Refused,    // a socket file with nobody listening (ECONNREFUSED)
    Missing,    // no file at that path
    Unknown,    // cannot tell (not a socket, no permission, path too long, ...)
};

// Looks the path up among the listening Unix sockets of this machine first;
// connects (and closes at once) only when it is not listed there.
SocketLiveness ProbeSocket(const std::string& path);

// Removes a registration found stale (file and, when it is still the socket
// that refused, the socket file). Leaves alone a registration that a camera
// has written again meanwhile. True when the registration file was removed.
bool RemoveStaleRegistration(const VirtualRegistration& r);

// ReadRegistrations without the dead ones. Registrations whose socket is
// missing or refuses connection are removed (their file paths are added to
// *removed when given); those whose state cannot be told are left in place
// but not offered.
std::vector<VirtualRegistration> ReadLiveRegistrations(const std::string& dir,
                                                       std::vector<std::string>* removed = nullptr);

}  // namespace kvx::device
