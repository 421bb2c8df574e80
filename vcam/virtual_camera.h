// The virtual camera: a camera of the family that speaks the vendor
// operations as PTP USB containers over a Unix stream socket and announces
// itself in the virtual device folder while it runs ("plugged in").
//
// It keeps its own state (configuration, camera state, the six data groups,
// the settable-info record of its generation, a picture database) and builds
// every record from its own reading of the layouts: nothing here is shared
// with the program except the container framing and the registration file.
//
// Threads: Start()/Plug() start one background thread that accepts one host
// connection at a time and serves it (a second host meanwhile gets 0x2019 to
// every command). Every public method may be called from any thread. Stop(),
// Unplug() and the destructor always return promptly.
//
// How it answers, in short (what tests can rely on):
// - Vendor operations need an open session (else 0x2003). Reads answer a data
//   container and a response; a read the camera refuses has an empty data
//   container. Writes (data groups, shutter, clock, database clears, close)
//   answer only a response; a write record whose last byte is not the 8-bit
//   sum of the bytes before it is refused with 0x201D. An unknown operation
//   gets a response 0x2005 and no data phase.
// - Change reporting: everything that changed since the last status read
//   (data group fields, the settable info, picture ids) is reported by the
//   next camera status (0x9011: change flags, picture bits) or status record
//   2 (0x902C), and reading the status clears it. Status record 2 carries
//   state (item 2), changed picture ids (item 5), per changed group an item
//   with the group's read code holding Field1, Field2 and the values of just
//   the changed fields (no check byte), and CanSetInfo4 (item 0x902E, count =
//   its length field, the bytes between length field and check byte) after
//   the session opens and whenever it changes (exposure mode changes it:
//   program shift is offered in P only).
// - Data group replies always carry every field. A host write of a field the
//   camera keeps to itself, of a value its settable masks do not offer (e.g.
//   exposure mode C3, image quality BASIC, drive mode interval timer), or of
//   more bytes than the field has, is refused with 0x201D.
// - Pictures: ids 0..31 in turn. Destination card only: straight to 0x8002,
//   one shot less on the card (no shots left: result 0x6002). With the
//   computer bit: status 5, flag 0x02, until every file (every part of a Q7I)
//   has been read from offset 0 to its end without gaps; then 0x8002 with the
//   flag cleared. Each finished Q7I part but the last reports the id again
//   (status 5) with the next part in the lists. 0x901C removes the entry and
//   its files (reads then get 0x2009). The lists describe the oldest picture
//   still waiting for the computer. When a session opens, every id still in
//   the database is reported as changed again.
// - File object ids: ((picture number & 0xFFFF) << 8) | (file index + 1),
//   picture number 1 for the first picture taken; file index 0 is the RAW of
//   RAW+JPEG, the JPEG is index 1; Q7I part p is index p-1. Names are
//   fileBase + 4-digit number + ".JPG", ".Q7F" or ".Q7I". The JPEG of
//   RAW+JPEG is a quarter of pictureBytes; every other file is pictureBytes.
//   Unless the option asks for Q7I, the kind of picture follows the image
//   quality in DataGroup2 (1 RAW, 3 RAW+JPEG, else JPEG), which starts out
//   matching the option.
// - Releases: drive mode continuous takes 3 frames, auto bracketing 3 or 5
//   (by the bracketing setting), each frame exposed at its offset of the
//   series (amount and order of DataGroup1) with the frame counter advancing
//   and back at 0 after the last; the self-timers take the picture 2 or 10 s
//   later (TakePictureOnBody then returns no ids). Focusing is skipped in
//   manual focus; with afFails a focusing release leaves a 0x6001 entry.
// - Custom white balance: a release (not focus only) while the white balance
//   is a capture mode 9, 11 or 13 measures the surface instead of taking a
//   picture: it always focuses (unless in manual focus), needs a usable card
//   with room, and leaves a result-only entry: 0x8002 with the slot measured
//   and the white balance switched to the slot (8, 10, 12), or 0x6001 (focus
//   failed) / 0x6002 (card) with the capture mode kept. No file either way.
// - Host writes the camera checks besides the masks: bracketing amount (one
//   third stops, 0..3 EV) and setting (1..6), ISO step (1, 2) and auto limits
//   (on the step's grid within ISO 100..6400, lower below upper; whole steps
//   move the limits out to whole stops), QMD (0, 1), special bracketing kind
//   (0..2), count (3, 5), amount (2..16 even), axis (1, 2), frame colour mode
//   (0 or an offered mode) and frame parameters (5 bytes in range). The clock
//   record takes a valid date and time only.
// - Partial reads: at most 0x200000 bytes per reply; offset beyond the end
//   0x201D; unknown object 0x2009; the more-data flag is 1 while bytes of the
//   file follow the piece.
// - Steering while it runs: Command() takes the text commands of the control
//   socket (ControlHelpText() lists them); the typed calls below do the same.
//   A body release goes through the same path as the host's release record.
// - Status reads that fail (FailStatusReads): 0x9011 and 0x902C get no answer
//   at all (the host's read times out; the link and the registration stay),
//   or, as asked, the response 0x2002 with an empty data container; what
//   changed meanwhile stays for the next read that succeeds.
// - With fileContent set, every file holds those bytes, repeated to its size;
//   the manifest digests them.
// - Manifest: for every file read whole (every byte from offset 0 to its end
//   delivered), a line "<sha256 hex>  <name>" as sha256sum writes it. A Q7I
//   picture gets one line when its last part is read, for the file the host
//   assembles from the parts (header placeholder, padded parts, trailer and
//   "SECf" frame directory).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kvx::vcam {

enum class PictureKind { Jpeg, Raw, RawJpeg, Q7i };

// Format codes of the picture lists.
constexpr uint16_t kFormatJpg = 0x3801;
constexpr uint16_t kFormatQ7f = 0xB801;
constexpr uint16_t kFormatQ7i = 0x380A;

// A partial read that should fail: the nth partial read request (1-based,
// counting every 0x9021/0x9022 request the camera receives) and the
// times-1 requests after it are answered with a PTP error response
// (0x2019 device busy, empty data container). The host is expected to ask
// again with the same parameters; the next request succeeds.
struct PieceFault {
    uint32_t nth = 0;
    uint32_t times = 1;
};

struct VirtualCameraOptions {
    // Registration (what the device list sees).
    int model = 130;        // 130: PID_5E30, 110: PID_5D10
    std::string deviceDir;  // empty: kvx::VirtualDeviceFolder()
    std::string instance;   // empty: a unique "KVX..." id
    std::optional<std::string> deviceName = std::string("Varno Camera");  // nullopt: no name
    uint32_t deviceType = 0x00020000;
    std::optional<std::string> pnpId;  // empty: "USB\VID_4E7A&PID_xxxx\<instance>"

    // Camera identity.
    std::string name = "VARNO ZX-130";  // camera name in the configuration record
    uint16_t protocolMajor = 4;
    uint16_t protocolMinor = 0;
    bool protocolValid = true;  // flag 0x40 of the configuration record
    // Settable-info version the camera delivers (1..4); 0: 4 for protocol
    // major 4, else 3.
    int generation = 0;

    // Pictures.
    PictureKind picture = PictureKind::Jpeg;
    uint64_t pictureBytes = 3'000'000;  // size of each file (at least 1)
    int q7iParts = 3;                   // parts of a Q7I picture (1..16)
    std::string fileBase = "VRN_";      // file names: VRN_0001.JPG, VRN_0001.Q7F, ...
    // Picture contents, see FillPictureBytes. 0: derived from the instance id,
    // so that every camera makes pictures of its own (kvx-vcam's default);
    // Options() then reports the seed in use.
    uint64_t seed = 1;
    // Bytes made once and served as every file's contents (byte i of a file
    // is fileContent[i % size]) instead of the seeded ones, so that a
    // benchmark times the link and not the making of bytes. Null or empty:
    // the seeded contents. Q7I header and trailer blocks stay seeded.
    std::shared_ptr<const std::vector<uint8_t>> fileContent;
    uint8_t destination = 2;        // initial DataGroup3 Field2 0x80: 1 card, 2 computer, 3 both
    uint16_t remainingShots = 500;  // card capacity in pictures
    bool afFails = false;           // focusing fails: release reports 0x6001

    // Live view display size: 1024x680 or 900x600.
    uint16_t liveWidth = 1024;
    uint16_t liveHeight = 680;

    // Faults.
    std::vector<PieceFault> failPieces;
    // Records sent with a wrong checksum: "config", "status", "capture",
    // "list", "DataGroup1".."DataGroup6", "CanSetInfo".."CanSetInfo4".
    std::vector<std::string> badChecksum;
    // After this many picture bytes have been sent the camera is unplugged in
    // the middle of the reply: the socket closes and the registration goes.
    // Once only: after Plug() the camera serves the transfer to its end.
    std::optional<uint64_t> vanishAfterBytes;

    // One line per operation received (code, parameters, data in hex).
    std::string traceFile;

    // A control socket <deviceDir>/<instance>.control from Start() to Stop(),
    // plugged in or not (so that a camera can be plugged in again through it).
    bool controlSocket = false;
    // Appended to for every file served whole: "<sha256>  <name>" lines.
    std::string manifestFile;
};

// One field turned on the body: group 1..6, bit 0..15 (0..7 Field1, 8..15
// Field2; group 3 bit 15 is the capture destination), the field's bytes.
struct BodyField {
    int group = 0;
    int bit = 0;
    std::vector<uint8_t> value;
};

// What a shutter press on the body did.
// How a status read fails: no answer at all (a camera that stopped
// answering), or a PTP error response 0x2002 with an empty data container.
enum class StatusFailure { Silent, Error };

struct BodyRelease {
    std::vector<int> ids;  // picture ids with a new entry (pictures or failures)
    int timerSeconds = 0;  // self-timer running: the picture comes this much later
    bool busy = false;     // every picture id is in use: nothing happened
};

// The camera's clock as it shows it.
struct CameraClockTime {
    int year = 2020, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

struct ReceivedOperation {
    uint16_t code = 0;
    std::vector<uint32_t> params;
    std::vector<uint8_t> data;  // write phase bytes (empty for reads)
};

// One file of a picture as the camera lists it.
struct PictureFile {
    std::string name;       // e.g. "VRN_0001.JPG"
    uint16_t format = 0;    // kFormatJpg, kFormatQ7f, kFormatQ7i
    uint32_t objectId = 0;  // first parameter of the partial reads
    uint64_t size = 0;
    uint16_t part = 0;   // Q7I: 1..parts; else 0
    uint16_t parts = 0;  // Q7I: number of parts; else 0
    // Q7I last part only: the header block (lengths A and B) and the trailer
    // block the list record carries.
    std::vector<uint8_t> headerA, headerB, trailer;
};

class VirtualCamera {
public:
    explicit VirtualCamera(VirtualCameraOptions options = {});
    ~VirtualCamera();
    VirtualCamera(const VirtualCamera&) = delete;
    VirtualCamera& operator=(const VirtualCamera&) = delete;

    // Listen and register (= plugged in); with controlSocket, open the
    // control socket first. False when a socket or the registration could
    // not be made, or when a running camera already answers on the control
    // socket.
    bool Start();
    // Unregister, close the socket and any connection; the camera keeps its
    // state (settings, pictures) and can be plugged in again.
    void Unplug();
    bool Plug();
    // Unplug for good and close the control socket (also done by the destructor).
    void Stop();
    bool IsPlugged() const;

    std::string Instance() const;
    std::string SocketPath() const;
    std::string DeviceDir() const;
    std::string RegistrationFile() const;

    // Every operation received since start (or the last clear), in order.
    std::vector<ReceivedOperation> ReceivedOperations() const;
    void ClearReceivedOperations();

    // The photographer presses the shutter on the body: mode 1 focus and
    // release, 2 release, 3 focus only. Returns the picture ids taken.
    std::vector<int> TakePictureOnBody(int mode = 1);
    // The same, with the drive dial turned first (1 single, 2 continuous,
    // 3 self-timer 2 s, 4 self-timer 10 s, 6 auto bracketing ...); the turn
    // is reported like any change on the body. Nothing changes when busy.
    BodyRelease PressShutterOnBody(int mode, std::optional<uint8_t> driveMode = std::nullopt);
    // Several fields at once: all are checked first, and none changes when
    // one is unknown or of the wrong size.
    bool SetFieldsOnBody(const std::vector<BodyField>& fields);
    // The bytes of a field by group and bit (empty when there is none).
    std::vector<uint8_t> FieldBytes(int group, int bit) const;
    // Focusing fails from now on (a focusing release reports 0x6001), or works again.
    void SetFocusFails(bool fails);
    bool FocusFails() const;
    // The next count status reads fail (0 ends it).
    void FailStatusReads(uint32_t count, StatusFailure how = StatusFailure::Silent);
    uint32_t FailingStatusReads() const;

    // Runs one control command line and returns its answer line ("ok ..."
    // or "error: ..."); a malformed command changes nothing.
    std::string Command(const std::string& line);
    std::string ControlSocketPath() const;

    // Settings as the camera holds them: the bytes of the field selected by
    // exactly one bit of field1 or field2 of a data group (1..6). Empty for a
    // field the group does not have. Group 3 Field2 0x80 gives the capture
    // destination byte.
    std::vector<uint8_t> DataGroupField(int group, uint8_t field1, uint8_t field2) const;
    // Change a field "on the body": the value is stored and the group's change
    // is reported by the next status. False for an unknown field or a wrong size.
    bool SetDataGroupFieldOnBody(int group, uint8_t field1, uint8_t field2,
                                 const std::vector<uint8_t>& value);
    // The full record as ZR4_GetDataGroupN would deliver it now.
    std::vector<uint8_t> DataGroupRecord(int group) const;
    int16_t CameraState() const;
    void SetCameraState(int16_t state);

    // Picture database: ids with an entry, the capture status of an id
    // (code, flags; nullopt when the id has no entry).
    std::vector<int> PictureIds() const;
    std::optional<std::pair<uint16_t, uint8_t>> CaptureStatus(int id) const;
    // Files of picture number n (1 for the first picture the camera takes),
    // as the lists describe them; deterministic from the options.
    std::vector<PictureFile> ExpectedFiles(uint32_t pictureNumber) const;
    // With the options as given: a seed of 0 is not resolved here, so ask a
    // camera (Options().seed) for the seed it derived.
    static std::vector<PictureFile> ExpectedFiles(const VirtualCameraOptions& options,
                                                  uint32_t pictureNumber);
    // Number of pictures taken so far.
    uint32_t PicturesTaken() const;

    // The camera's clock now: what the last clock record (0x9019) set, running
    // on since (the turn of 2020 before any).
    CameraClockTime CameraClock() const;
    // Exposure offsets in eighth stops of the frames of the last auto
    // bracketing series (drive mode 6), in the order they were taken.
    std::vector<int> LastBracketSeries() const;
    // Custom white balance slot 1..3 as last measured, kelvin; 0 when none.
    uint16_t CustomWhiteBalance(int slot) const;

    // Bytes offset..offset+n-1 of the file with this object id, for a camera
    // with this seed. Random access, any offset.
    static void FillPictureBytes(uint64_t seed, uint32_t objectId, uint64_t offset, uint8_t* out,
                                 size_t n);

    const VirtualCameraOptions& Options() const;

    class Impl;

private:
    void StopControl();
    std::unique_ptr<Impl> impl_;
};

// Parses the command-line options of kvx-vcam into options. On error or
// --help returns false and sets message (help text or the error).
bool ParseCommandLine(int argc, char** argv, VirtualCameraOptions& options, std::string& message);
std::string HelpText();
// The control commands, one per line, as --help shows them.
std::string ControlHelpText();

}  // namespace kvx::vcam
