// Picture download from a scripted camera: pieces, segments, retries, the
// piece budget, the hidden temporary file and its final name, what a failed
// transfer leaves behind, and the multi-part Q7I assembly.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <cstring>

#include "transfer_fixture.h"

namespace kvx::engine::test {
namespace {

constexpr uint16_t kJpg = 0x3801;
constexpr uint16_t kQ7f = 0xB801;
constexpr uint16_t kQ7i = 0x380A;

uint32_t U32At(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
           uint32_t{b[at + 3]} << 24;
}

bool AllZero(const std::vector<uint8_t>& b, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) {
        if (b[i] != 0) return false;
    }
    return true;
}

bool SameBytes(const std::vector<uint8_t>& file, size_t at, const std::vector<uint8_t>& part) {
    return file.size() >= at + part.size() &&
           std::equal(part.begin(), part.end(), file.begin() + at);
}

TEST_F(TransferTest, ThreeMegabytePictureIsTwoPiecesInOneSegmentAndOneWrite) {
    const auto bytes = PictureBytes(3'000'000, 1);
    OnePicture(kJpg, "VRN_0001.JPG", bytes);
    transfer->GetPictFileInfo();

    ASSERT_EQ(camera.pieces.size(), 2u);
    EXPECT_EQ(camera.pieces[0].offset, 0u);
    EXPECT_EQ(camera.pieces[0].size, 0x200000u);
    EXPECT_EQ(camera.pieces[1].offset, 0x200000u);
    EXPECT_EQ(camera.pieces[1].size, 3'000'000u - 0x200000u);
    EXPECT_EQ(camera.pieces[1].objectId, 0x100u);
    EXPECT_EQ(transfer->LastReadStats().segmentWrites, 1);
    EXPECT_EQ(host.execCommands, 1);  // one queued command between the two pieces

    EXPECT_EQ(Files(), std::vector<std::string>{"VRN_0001.JPG"});
    EXPECT_EQ(ReadFile(folder + "VRN_0001.JPG"), bytes);
    EXPECT_EQ(host.state, 1);
    EXPECT_TRUE(Logged(
        "--- enter CMainDlg::ReadPictFile, FileName=VRN_0001.JPG, FileSize=3000000, max_tx=147"));
    EXPECT_TRUE(Logged("   0-0: dwOffset=0, rest=0x200000, actual=2097188, hr=0x0"));
    EXPECT_TRUE(Logged("--- ReadPictFile bReadSuccess=1 index=0, orgFile=VRN_0001.JPG"));
    auto results = transfer->LastFileResults();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_TRUE(results[0].complete);
    EXPECT_EQ(results[0].path, folder + "VRN_0001.JPG");
}

TEST_F(TransferTest, PictureIsHiddenUnderItsTempNameWhileItIsWritten) {
    const auto bytes = PictureBytes(3'000'000, 2);
    OnePicture(kJpg, "VRN_0002.JPG", bytes);
    std::vector<std::string> seen;
    host.onExecCommand = [&] { seen = Files(); };
    transfer->GetPictFileInfo();
    EXPECT_EQ(seen, std::vector<std::string>{".VRN_0002.JPG_temp"});
    EXPECT_EQ(Files(), std::vector<std::string>{"VRN_0002.JPG"});
}

TEST_F(TransferTest, TwentyFiveMegabytePictureIsWrittenInThreeSegments) {
    const auto bytes = PictureBytes(25'000'000, 3);
    OnePicture(kQ7f, "VRN_0003.Q7F", bytes);
    transfer->GetPictFileInfo();

    EXPECT_EQ(transfer->LastReadStats().segmentWrites, 3);
    ASSERT_EQ(camera.pieces.size(), 12u);  // 5 + 5 + 2 pieces of at most 2 MiB
    uint32_t expected = 0;
    for (const auto& p : camera.pieces) {
        EXPECT_EQ(p.offset, expected);
        EXPECT_LE(p.size, 0x200000u);
        expected += p.size;
    }
    EXPECT_EQ(expected, 25'000'000u);
    EXPECT_EQ(host.execCommands, 4 + 4 + 1);  // not between the segments' last pieces
    EXPECT_EQ(ReadFile(folder + "VRN_0003.Q7F"), bytes);
}

TEST_F(TransferTest, PieceBudgetOfASmallPicture) {
    // Below 61,184 bytes max_tx is 0: a single piece that ends the picture is
    // fine, a piece that says more follows fails the transfer.
    for (uint16_t moreFlag : {0, 1}) {
        SCOPED_TRACE(moreFlag);
        camera = FakeCamera{};
        const auto bytes = PictureBytes(60'000, 4);
        OnePicture(kJpg, "SMALL" + std::to_string(moreFlag) + ".JPG", bytes);
        camera.pieceHook = [&](int, const PieceRequest& r, std::vector<uint8_t>& reply, HResult&) {
            reply = FakeCamera::PieceReply(camera.objects[r.objectId], r.offset, r.size);
            reply[reply.size() - 2] = static_cast<uint8_t>(moreFlag);
            return true;
        };
        transfer->GetPictFileInfo();
        const std::string final = folder + "SMALL" + std::to_string(moreFlag) + ".JPG";
        if (moreFlag == 0) {
            EXPECT_EQ(ReadFile(final), bytes);
        } else {
            EXPECT_FALSE(std::filesystem::exists(final));
            EXPECT_EQ(ReadFile(final + ".incomplete"), bytes);
            EXPECT_TRUE(Logged("max_tx=0"));
            EXPECT_TRUE(Logged("**** max_tx < 1 at CMainDlg::ReadPictFile !!! ****"));
            EXPECT_TRUE(Logged("+++ error code = 3 at CMainDlg::ReadPictFile +++"));
            EXPECT_TRUE(Logged("+++ transfer incomplete, data kept as " + final + ".incomplete"));
        }
    }
}

TEST_F(TransferTest, CameraThatKeepsEndingEarlyRunsOutOfPieceBudget) {
    // Pieces of nothing that claim the picture is over must not loop forever.
    const auto bytes = PictureBytes(200'000, 5);  // max_tx 9
    OnePicture(kJpg, "EARLY.JPG", bytes);
    camera.pieceHook = [](int, const PieceRequest&, std::vector<uint8_t>& reply, HResult&) {
        reply.assign(6, 0);  // L = 0, no more data
        return true;
    };
    transfer->GetPictFileInfo();
    EXPECT_EQ(camera.pieces.size(), 9u);
    EXPECT_TRUE(Logged("+++ error code = 3 at CMainDlg::ReadPictFile +++"));
    EXPECT_FALSE(std::filesystem::exists(folder + "EARLY.JPG"));
}

enum class PieceFault { Error, Empty, HeaderOnly, LengthBeyondReply, LengthAboveRequest };

struct RetryCase {
    PieceFault fault;
    int times;
};
// Test names and failure messages show the case, not its bytes.
std::string CaseName(const RetryCase& c) {
    static const char* const kFaults[] = {"Error", "Empty", "HeaderOnly", "LengthBeyondReply",
                                          "LengthAboveRequest"};
    return std::string(kFaults[static_cast<int>(c.fault)]) + "x" + std::to_string(c.times);
}
void PrintTo(const RetryCase& c, std::ostream* os) { *os << CaseName(c); }


class PieceRetryTest : public TransferTest, public ::testing::WithParamInterface<RetryCase> {};

TEST_P(PieceRetryTest, SecondPieceFails) {
    const auto [fault, times] = GetParam();
    const auto bytes = PictureBytes(3'000'000, 6);
    OnePicture(kJpg, "RETRY.JPG", bytes);
    // Pending pictures the camera told about before the transfer.
    camera.captureStatus[1] = {6, 1, 0, 0, 5, 0, 2, 0};
    camera.captureStatus[2] = {6, 2, 0, 0, 5, 0, 2, 0};
    ASSERT_TRUE(transfer->UpdateCaptureStatusSingle(1));
    ASSERT_TRUE(transfer->UpdateCaptureStatusSingle(2));
    ASSERT_EQ(transfer->PendingPictureCount(), 2);

    camera.pieceHook = [&, fault = fault, times = times](int call, const PieceRequest& r,
                                                         std::vector<uint8_t>& reply, HResult& hr) {
        if (call < 1 || call > times) return false;
        reply = FakeCamera::PieceReply(camera.objects[r.objectId], r.offset, r.size);
        switch (fault) {
            case PieceFault::Error:
                hr = static_cast<HResult>(0x8007001F);
                break;
            case PieceFault::Empty:
                reply.clear();
                break;
            case PieceFault::HeaderOnly:
                reply.assign(1, 0);  // not even a whole length
                break;
            case PieceFault::LengthBeyondReply:
                reply.resize(reply.size() - 100);
                break;
            case PieceFault::LengthAboveRequest:
                // L = requested + 1, the reply sized to match.
                reply.insert(reply.begin() + 4, 0);
                reply[0] = static_cast<uint8_t>(r.size + 1);
                reply[1] = static_cast<uint8_t>((r.size + 1) >> 8);
                reply[2] = static_cast<uint8_t>((r.size + 1) >> 16);
                reply[3] = static_cast<uint8_t>((r.size + 1) >> 24);
                break;
        }
        return true;
    };
    transfer->GetPictFileInfo();

    const std::string final = folder + "RETRY.JPG";
    if (fault == PieceFault::LengthBeyondReply || fault == PieceFault::LengthAboveRequest) {
        EXPECT_TRUE(Logged("**** Invalid Data Size = "));
    }
    if (times < 3) {
        EXPECT_EQ(camera.pieces.size(), 2u + times);
        for (int i = 1; i <= times + 1; ++i) EXPECT_EQ(camera.pieces[i].offset, 0x200000u);
        EXPECT_EQ(ReadFile(final), bytes);  // byte for byte
        EXPECT_FALSE(Logged("*** retry over"));
        EXPECT_EQ(transfer->PendingPictureCount(), 2);
        EXPECT_EQ(Files(), std::vector<std::string>{"RETRY.JPG"});
    } else {
        EXPECT_EQ(camera.pieces.size(), 4u);  // first piece, then three attempts
        EXPECT_TRUE(Logged("*** retry over 3 times at CMainDlg::ReadPictFile, then reset DB ***"));
        EXPECT_TRUE(Logged("+++ error code = 2 at CMainDlg::ReadPictFile +++"));
        EXPECT_TRUE(Logged("--- ReadPictFile bReadSuccess=0 index=0, orgFile=RETRY.JPG"));
        EXPECT_EQ(transfer->PendingPictureCount(), 0);
        EXPECT_EQ(transfer->Table().Get(1).code, 0);
        EXPECT_EQ(transfer->Table().Get(2).code, 0);
        // Nothing under the final name; what arrived is kept, visible.
        EXPECT_EQ(Files(), std::vector<std::string>{"RETRY.JPG.incomplete"});
        std::vector<uint8_t> first(bytes.begin(), bytes.begin() + 0x200000);
        EXPECT_EQ(ReadFile(final + ".incomplete"), first);
        auto results = transfer->LastFileResults();
        ASSERT_EQ(results.size(), 1u);
        EXPECT_FALSE(results[0].complete);
        EXPECT_EQ(results[0].path, final + ".incomplete");
        EXPECT_EQ(host.state, 1);
    }
    EXPECT_TRUE(launched.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, PieceRetryTest,
    ::testing::Values(RetryCase{PieceFault::Error, 1}, RetryCase{PieceFault::Error, 2},
                      RetryCase{PieceFault::Error, 3}, RetryCase{PieceFault::Empty, 1},
                      RetryCase{PieceFault::Empty, 3}, RetryCase{PieceFault::HeaderOnly, 2},
                      RetryCase{PieceFault::HeaderOnly, 3},
                      RetryCase{PieceFault::LengthBeyondReply, 2},
                      RetryCase{PieceFault::LengthBeyondReply, 3},
                      RetryCase{PieceFault::LengthAboveRequest, 1},
                      RetryCase{PieceFault::LengthAboveRequest, 3}),
    [](const auto& info) { return CaseName(info.param); });

TEST_F(TransferTest, MisbehavingPiecesNeverLeaveAWrongPictureUnderItsName) {
    // Replies with wrong lengths, cut records, errors, short pieces and
    // early or late more-data flags, in a fixed pseudo-random mix: whatever
    // happens, a file under the final name holds exactly the picture.
    const auto bytes = PictureBytes(700'000, 17);
    uint32_t x = 12345;
    auto next = [&x] {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return x;
    };
    int complete = 0, incomplete = 0;
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        const std::string name = "R" + std::to_string(round) + ".JPG";
        OnePicture(kJpg, name, bytes, 0x300);
        camera.pieces.clear();
        camera.pieceHook = [&](int, const PieceRequest& r, std::vector<uint8_t>& reply,
                               HResult& hr) {
            const uint32_t roll = next() % 10;
            const uint32_t shorter = r.size > 1 ? 1 + next() % (r.size - 1) : r.size;
            reply = FakeCamera::PieceReply(bytes, r.offset, roll == 0 ? shorter : r.size);
            switch (roll) {
                case 1:
                    hr = KVX_E_FAIL;
                    break;
                case 2:
                    reply.resize(next() % reply.size());
                    break;  // cut short
                case 3:
                    reply[0] = static_cast<uint8_t>(next());
                    reply[3] = 0x7F;
                    break;  // wild L
                case 4:
                    reply[reply.size() - 2] ^= 1;
                    break;  // flag flipped
                case 5:
                    reply.assign(6, 0);
                    break;  // nothing, done
                default:
                    break;
            }
            return true;
        };
        transfer->GetPictFileInfo();
        if (std::filesystem::exists(folder + name)) {
            ++complete;
            EXPECT_EQ(ReadFile(folder + name), bytes);
        } else {
            ++incomplete;
            EXPECT_TRUE(std::filesystem::exists(folder + name + ".incomplete"));
        }
        EXPECT_LE(camera.pieces.size(), 3u * (3 * (700'000 / 61'184) + 1));
    }
    // Both outcomes occur in the mix, so both checks above ran.
    EXPECT_GT(complete, 0);
    EXPECT_GT(incomplete, 0);
}

TEST_F(TransferTest, NumberOfAFailedPictureIsNotReused) {
    options.rename = true;
    transfer->SetNamingOptions(options);
    OnePicture(kJpg, "A.JPG", PictureBytes(3'000'000, 7), 1);
    camera.pieceHook = [](int call, const PieceRequest&, std::vector<uint8_t>&, HResult& hr) {
        if (call == 0 || call > 3) return false;
        hr = KVX_E_FAIL;
        return true;
    };
    transfer->GetPictFileInfo();
    OnePicture(kJpg, "B.JPG", PictureBytes(1000, 8), 2);
    transfer->GetPictFileInfo();
    EXPECT_EQ(Files(), (std::vector<std::string>{"IMG10001.JPG.incomplete", "IMG10002.JPG"}));
}

TEST_F(TransferTest, FullDiskKeepsWhatWasWrittenAsIncomplete) {
    const auto bytes = PictureBytes(3'000'000, 9);
    OnePicture(kJpg, "FULL.JPG", bytes);
    camera.captureStatus[4] = {6, 4, 0, 0, 5, 0, 2, 0};
    ASSERT_TRUE(transfer->UpdateCaptureStatusSingle(4));

    // A file size limit makes writes fail the way a full disk does.
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &previous);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limited = saved;
    limited.rlim_cur = 1 << 20;
    setrlimit(RLIMIT_FSIZE, &limited);
    transfer->GetPictFileInfo();
    setrlimit(RLIMIT_FSIZE, &saved);
    sigaction(SIGXFSZ, &previous, nullptr);

    EXPECT_TRUE(Logged("+++ error code = 4 at CMainDlg::ReadPictFile +++"));
    EXPECT_EQ(Files(), std::vector<std::string>{"FULL.JPG.incomplete"});
    std::vector<uint8_t> written(bytes.begin(), bytes.begin() + (1 << 20));
    EXPECT_EQ(ReadFile(folder + "FULL.JPG.incomplete"), written);
    // The camera still holds the picture: it is still pending here.
    EXPECT_EQ(transfer->PendingPictureCount(), 1);
}

// A segment is written while the next one is read, so a failure in a later
// segment must still leave every earlier segment, and what arrived of the
// failing one, in the file, in order; a failed write is never followed by
// data appended after it.
TEST_F(TransferTest, FailureInALaterSegmentKeepsEverythingBeforeItInOrder) {
    struct Case {
        const char* name;
        uint64_t sizeLimit;  // RLIMIT_FSIZE while transferring, 0 for none
        int failingCall;     // first of three failing piece requests, -1 for none
        size_t kept;         // bytes expected in the ".incomplete" file
        int code;
    };
    const Case cases[] = {
        // The write of the second of three segments stops at 15 MB.
        {"WRITE.Q7F", 15'000'000, -1, 15'000'000, 4},
        // The second piece of the third segment never arrives: two whole
        // segments (the second written alongside the reading) and one piece.
        {"READ.Q7F", 0, 11, 11 * 0x200000, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        camera = FakeCamera{};
        MakeTransfer();
        const auto bytes = PictureBytes(25'000'000, 11);
        OnePicture(kQ7f, c.name, bytes);
        const int failing = c.failingCall;
        camera.pieceHook = [failing](int call, const PieceRequest&, std::vector<uint8_t>&,
                                     HResult& hr) {
            if (failing < 0 || call < failing || call >= failing + 3) return false;
            hr = KVX_E_FAIL;
            return true;
        };
        struct sigaction ignore {
        }, previous{};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGXFSZ, &ignore, &previous);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit limited = saved;
        if (c.sizeLimit != 0) limited.rlim_cur = c.sizeLimit;
        setrlimit(RLIMIT_FSIZE, &limited);
        transfer->GetPictFileInfo();
        setrlimit(RLIMIT_FSIZE, &saved);
        sigaction(SIGXFSZ, &previous, nullptr);

        const std::string code = "+++ error code = " + std::to_string(c.code) + " at";
        EXPECT_TRUE(Logged(code));
        const std::string final = folder + c.name;
        EXPECT_FALSE(std::filesystem::exists(final));
        std::vector<uint8_t> kept(bytes.begin(), bytes.begin() + static_cast<long>(c.kept));
        EXPECT_EQ(ReadFile(final + ".incomplete"), kept);  // byte for byte, in order
        auto results = transfer->LastFileResults();
        ASSERT_EQ(results.size(), 1u);
        EXPECT_FALSE(results[0].complete);
        EXPECT_EQ(results[0].path, final + ".incomplete");
        EXPECT_EQ(host.state, 1);
    }
}

TEST_F(TransferTest, MissingFolderReadsThePictureButWritesNothing) {
    options.destinationFolder = root + "/absent";
    transfer->SetNamingOptions(options);
    OnePicture(kJpg, "GONE.JPG", PictureBytes(3'000'000, 10));
    transfer->GetPictFileInfo();
    EXPECT_EQ(camera.pieces.size(), 2u);
    EXPECT_FALSE(std::filesystem::exists(root + "/absent"));
    EXPECT_TRUE(Logged("+++ Could not create " + root + "/absent/.GONE.JPG_temp"));
    EXPECT_TRUE(launched.empty());
}

TEST_F(TransferTest, MissingFolderWithARescueFolderKeepsThePictureThere) {
    options.destinationFolder = root + "/absent";
    options.rescueFolder = root + "/rescued";
    transfer->SetNamingOptions(options);
    const auto bytes = PictureBytes(3'000'000, 11);
    OnePicture(kJpg, "GONE.JPG", bytes);
    transfer->GetPictFileInfo();
    EXPECT_FALSE(std::filesystem::exists(root + "/absent"));
    auto results = transfer->LastFileResults();
    ASSERT_EQ(results.size(), 1u);
    // Never complete: it is not where the user asked for it.
    EXPECT_FALSE(results[0].complete);
    EXPECT_EQ(results[0].path, root + "/rescued/GONE.JPG.incomplete");
    EXPECT_EQ(ReadFile(results[0].path), bytes);
    EXPECT_TRUE(launched.empty());
}

TEST_F(TransferTest, UnreadableListEndsTheStepAndPollingResumes) {
    ListReply failing;
    failing.hr = KVX_E_FAIL;
    camera.lists.push_back(failing);
    transfer->GetPictFileInfo();
    EXPECT_TRUE(camera.pieces.empty());
    EXPECT_EQ(host.state, 1);
    EXPECT_TRUE(Files().empty());
}

TEST_F(TransferTest, RawPlusJpegWithRenamingShareTheNumber) {
    options.rename = true;
    options.reviewType = 2;
    options.reviewSoft = root + "/review-app";
    WriteFile(options.reviewSoft);
    transfer->SetNamingOptions(options);
    WriteFile(folder + "IMG10001.Q7F");
    WriteFile(folder + "IMG10002.JPG");

    const auto raw = PictureBytes(5'000'000, 11);
    const auto jpg = PictureBytes(900'000, 12);
    camera.objects[1] = raw;
    camera.objects[2] = jpg;
    ListReply list;
    list.entries = {MakeEntry(kQ7f, "VRN_0007.Q7F", 5'000'000, 1),
                    MakeEntry(kJpg, "VRN_0007.JPG", 900'000, 2)};
    list.count = 3;  // the camera may report more than the two entries read
    list.record.assign(64, 0);
    camera.lists.push_back(list);
    transfer->GetPictFileInfo();

    EXPECT_EQ(ReadFile(folder + "IMG10003.Q7F"), raw);
    EXPECT_EQ(ReadFile(folder + "IMG10003.JPG"), jpg);
    EXPECT_EQ(Files().size(), 4u);
    ASSERT_EQ(launched.size(), 1u);  // the last file of the list
    EXPECT_EQ(launched[0], (std::vector<std::string>{options.reviewSoft, folder + "IMG10003.JPG"}));
}

TEST_F(TransferTest, CountAboveTheFilledEntriesCreatesNoFile) {
    const auto bytes = PictureBytes(1000, 16);
    OnePicture(kJpg, "ONLY.JPG", bytes);
    camera.lists.back().count = 2;  // the second entry never arrived
    transfer->GetPictFileInfo();
    EXPECT_EQ(Files(), std::vector<std::string>{"ONLY.JPG"});
    EXPECT_EQ(transfer->LastFileResults().size(), 1u);
}

TEST_F(TransferTest, HostileCameraNameStaysInsideTheFolder) {
    const auto bytes = PictureBytes(1000, 13);
    OnePicture(kJpg, "../../etc/x", bytes);
    transfer->GetPictFileInfo();
    auto results = transfer->LastFileResults();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_TRUE(results[0].complete);
    EXPECT_EQ(std::filesystem::path(results[0].path).parent_path(),
              std::filesystem::path(folder).parent_path());
    EXPECT_EQ(ReadFile(results[0].path), bytes);
    std::vector<std::string> top;
    for (auto& e : std::filesystem::directory_iterator(root)) top.push_back(e.path().filename());
    std::sort(top.begin(), top.end());
    EXPECT_EQ(top, (std::vector<std::string>{"kvx.log", "pictures"}));
}

TEST_F(TransferTest, FinalNameTakenMeanwhileIsNeverOverwritten) {
    const auto bytes = PictureBytes(3'000'000, 14);
    OnePicture(kJpg, "RACE.JPG", bytes);
    // Another program creates the name while the picture is being read.
    host.onExecCommand = [&] { WriteFile(folder + "RACE.JPG", "theirs"); };
    transfer->GetPictFileInfo();
    EXPECT_EQ(ReadFile(folder + "RACE.JPG"), std::vector<uint8_t>({'t', 'h', 'e', 'i', 'r', 's'}));
    // Ours moves on to the next name the naming rules give, visible and whole.
    EXPECT_EQ(ReadFile(folder + "RACE_1.JPG"), bytes);
    EXPECT_EQ(Files(), (std::vector<std::string>{"RACE.JPG", "RACE_1.JPG"}));
    EXPECT_TRUE(launched.empty());
}

TEST_F(TransferTest, FirstFormListIsReadForCamerasThatAreNotExtended) {
    host.extended = false;
    camera.firstForm = true;
    const auto bytes = PictureBytes(70'000, 15);
    OnePicture(kJpg, "OLD.JPG", bytes);
    // The byte after the list holds the sum of the list bytes.
    camera.lists.back().record = {1, 2, 3, 4, 10};
    camera.lists.back().reportedLength = 4;
    transfer->GetPictFileInfo();
    EXPECT_EQ(ReadFile(folder + "OLD.JPG"), bytes);
    EXPECT_TRUE(Logged("-- GetPictFileInfo: Checksum OK"));
}

// ---------------------------------------------------------------------------
// Multi-part Q7I

struct Q7iPart {
    std::vector<uint8_t> bytes;
};

class Q7iTest : public TransferTest {};

TEST_F(Q7iTest, ThreePartsAreJoinedWithTheFrameDirectory) {
    options.reviewType = 2;
    options.reviewSoft = root + "/review-app";
    WriteFile(options.reviewSoft);
    transfer->SetNamingOptions(options);
    // A + B = 100 and A + B = 96 both give a placeholder of 128 bytes.
    for (auto [a, b] : {std::pair<uint32_t, uint32_t>{60, 40}, {64, 32}}) {
        SCOPED_TRACE(a + b);
        for (auto& f : Files()) std::filesystem::remove(folder + f);
        launched.clear();
        const auto p1 = PictureBytes(1000, 21), p2 = PictureBytes(700, 22),
                   p3 = PictureBytes(500, 23);
        const auto header = PictureBytes(a + b, 24), trailer = PictureBytes(40, 25);
        ServePart(1, 3, p1, a, b, header, trailer);
        ServePart(2, 3, p2, a, b, header, trailer);
        ServePart(3, 3, p3, a, b, header, trailer);

        transfer->GetPictFileInfo();
        EXPECT_EQ(Files(), std::vector<std::string>{".VRN_0010.Q7I_temp"});
        transfer->GetPictFileInfo();
        EXPECT_EQ(Files(), std::vector<std::string>{".VRN_0010.Q7I_temp"});
        EXPECT_TRUE(launched.empty());
        transfer->GetPictFileInfo();
        ASSERT_EQ(Files(), std::vector<std::string>{"VRN_0010.Q7I"});
        ASSERT_EQ(launched.size(), 1u);

        const auto f = ReadFile(folder + "VRN_0010.Q7I");
        ASSERT_EQ(f.size(), 2460u);
        EXPECT_TRUE(SameBytes(f, 0, header));
        EXPECT_TRUE(AllZero(f, a + b, 128));
        EXPECT_TRUE(SameBytes(f, 128, p1));
        EXPECT_TRUE(AllZero(f, 1128, 1152));
        EXPECT_TRUE(SameBytes(f, 1152, p2));
        EXPECT_TRUE(AllZero(f, 1852, 1856));
        EXPECT_TRUE(SameBytes(f, 1856, p3));
        EXPECT_TRUE(SameBytes(f, 2356, trailer));
        EXPECT_EQ(std::string(f.begin() + 2396, f.begin() + 2400), "SECf");
        EXPECT_EQ(U32At(f, 2400), 0x100u);
        EXPECT_EQ(U32At(f, 2404), 4u);
        const uint32_t expect[4][2] = {{128, 1000}, {1152, 700}, {1856, 500}, {2356, 40}};
        const char* tags[4] = {"FRAM", "FRAM", "FRAM", "QDLA"};
        for (int i = 0; i < 4; ++i) {
            const size_t at = 2408 + 12 * i;
            EXPECT_EQ(U32At(f, at), expect[i][0]) << i;
            EXPECT_EQ(U32At(f, at + 4), expect[i][1]) << i;
            EXPECT_EQ(std::string(f.begin() + at + 8, f.begin() + at + 12), tags[i]) << i;
        }
        EXPECT_EQ(U32At(f, f.size() - 4), 2396u);
    }
}

TEST_F(Q7iTest, BlocksBeyondTheReplyKeepThePartsUnjoined) {
    struct Case {
        const char* what;
        uint32_t recordSize, headerOffset, trailerOffset;
    };
    const Case cases[] = {
        {"trailer beyond", 200, 32, 180},         // trailer 40 bytes from 180
        {"header beyond", 400, 350, 40},          // header 100 bytes from 350
        {"offset wraps", 400, 0xFFFFFFF0u, 200},  // offset + length overflows 32 bits
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (auto& f : Files()) std::filesystem::remove(folder + f);
        camera.lists.clear();
        camera.nextList = 0;
        const auto p1 = PictureBytes(1000, 31), p2 = PictureBytes(700, 32),
                   p3 = PictureBytes(500, 33);
        const auto header = PictureBytes(100, 34), trailer = PictureBytes(40, 35);
        ServePart(1, 3, p1, 60, 40, header, trailer);
        ServePart(2, 3, p2, 60, 40, header, trailer);
        ServePart(3, 3, p3, 60, 40, header, trailer, c.recordSize, c.headerOffset, c.trailerOffset);
        for (int i = 0; i < 3; ++i) transfer->GetPictFileInfo();

        EXPECT_EQ(Files(), std::vector<std::string>{"VRN_0010.Q7I.incomplete"});
        const auto f = ReadFile(folder + "VRN_0010.Q7I.incomplete");
        // Every part is there, nothing was joined: no header, no directory.
        ASSERT_EQ(f.size(), 2356u);
        EXPECT_TRUE(AllZero(f, 0, 128));
        EXPECT_TRUE(SameBytes(f, 128, p1));
        EXPECT_TRUE(SameBytes(f, 1152, p2));
        EXPECT_TRUE(SameBytes(f, 1856, p3));
        EXPECT_TRUE(Logged("+++ Q7I header or trailer beyond the reply (size=" +
                           std::to_string(c.recordSize + 30) +
                           ") at CMainDlg::GetPictFileInfo +++"));
        EXPECT_TRUE(Logged("+++ Q7I parts not joined"));
    }
}

TEST_F(Q7iTest, FailedMiddlePartKeepsAllPartsVisibleAndUnjoined) {
    const auto p1 = PictureBytes(1000, 41), p2 = PictureBytes(700, 42), p3 = PictureBytes(500, 43);
    const auto header = PictureBytes(100, 44), trailer = PictureBytes(40, 45);
    ServePart(1, 3, p1, 60, 40, header, trailer);
    ServePart(2, 3, p2, 60, 40, header, trailer);
    ServePart(3, 3, p3, 60, 40, header, trailer);
    transfer->GetPictFileInfo();
    camera.pieceHook = [](int, const PieceRequest& r, std::vector<uint8_t>&, HResult& hr) {
        if (r.objectId != 0x202) return false;
        hr = KVX_E_FAIL;
        return true;
    };
    transfer->GetPictFileInfo();
    // Visible at once, even if the last part never comes.
    EXPECT_EQ(Files(), std::vector<std::string>{"VRN_0010.Q7I.incomplete"});
    transfer->GetPictFileInfo();
    EXPECT_EQ(Files(), std::vector<std::string>{"VRN_0010.Q7I.incomplete"});
    const auto f = ReadFile(folder + "VRN_0010.Q7I.incomplete");
    // The header and trailer of the last part's list are kept with the parts.
    ASSERT_EQ(f.size(), 128u + 1000u + 24u + 500u + 40u);
    EXPECT_TRUE(SameBytes(f, 0, header));
    EXPECT_TRUE(SameBytes(f, 128, p1));
    EXPECT_TRUE(SameBytes(f, 1152, p3));
    EXPECT_TRUE(SameBytes(f, 1652, trailer));
}

TEST_F(Q7iTest, FailedLastPartIsReportedWhereItIsKept) {
    const auto p1 = PictureBytes(1000, 46), p2 = PictureBytes(700, 47);
    const auto header = PictureBytes(100, 48), trailer = PictureBytes(40, 49);
    ServePart(1, 2, p1, 60, 40, header, trailer);
    ServePart(2, 2, p2, 60, 40, header, trailer);
    transfer->GetPictFileInfo();
    camera.pieceHook = [](int, const PieceRequest& r, std::vector<uint8_t>&, HResult& hr) {
        if (r.objectId != 0x202) return false;
        hr = KVX_E_FAIL;
        return true;
    };
    transfer->GetPictFileInfo();
    EXPECT_EQ(Files(), std::vector<std::string>{"VRN_0010.Q7I.incomplete"});
    auto results = transfer->LastFileResults();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].path, folder + "VRN_0010.Q7I.incomplete");
    EXPECT_FALSE(results[0].complete);
    EXPECT_TRUE(Logged("+++ Q7I parts not joined, kept as " + folder + "VRN_0010.Q7I.incomplete"));
}

TEST_F(Q7iTest, LaterPartWithoutItsFirstIsKeptUnderANameOfItsOwn) {
    const auto p2 = PictureBytes(700, 51), p3 = PictureBytes(500, 52);
    const auto header = PictureBytes(100, 53), trailer = PictureBytes(40, 54);
    ServePart(2, 3, p2, 60, 40, header, trailer);
    ServePart(3, 3, p3, 60, 40, header, trailer);
    transfer->GetPictFileInfo();
    transfer->GetPictFileInfo();
    EXPECT_EQ(Files(), std::vector<std::string>{"VRN_0010.Q7I.incomplete"});
    // Everything received is in that one file, laid out as a joined picture
    // without the missing part and the frame directory: header in the
    // placeholder, each part at a multiple of 32, the trailer after the last.
    const auto f = ReadFile(folder + "VRN_0010.Q7I.incomplete");
    ASSERT_EQ(f.size(), 128u + 700u + 4u + 500u + 40u);
    EXPECT_TRUE(SameBytes(f, 0, header));
    EXPECT_TRUE(AllZero(f, 100, 128));
    EXPECT_TRUE(SameBytes(f, 128, p2));
    EXPECT_TRUE(AllZero(f, 828, 832));
    EXPECT_TRUE(SameBytes(f, 832, p3));
    EXPECT_TRUE(SameBytes(f, 1332, trailer));
    EXPECT_TRUE(
        Logged("+++ Q7I part 2 of 3 without its earlier parts at CMainDlg::GetPictFileInfo +++"));
}

}  // namespace
}  // namespace kvx::engine::test
