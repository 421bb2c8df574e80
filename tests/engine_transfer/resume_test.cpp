// Pictures that survive interruptions whole and in one place: a Q7I whose
// part failed is joined when the part comes again, in the same run or a
// later one; kept files that do not prove themselves are never joined;
// hidden files a killed run left are dealt with; the files of one picture
// keep one number or suffix even when a name is taken meanwhile.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>

#include "engine/leftover_files.h"
#include "engine/q7i_join_record.h"
#include "transfer_fixture.h"

namespace kvx::engine::test {
namespace {

constexpr uint16_t kJpg = 0x3801;
constexpr uint16_t kQ7f = 0xB801;

void PutU32(std::vector<uint8_t>& f, uint32_t v) {
    for (int i = 0; i < 4; ++i) f.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// The joined file as the layout defines it, built independently of the
// assembler: header in a zero placeholder, parts at multiples of 32, the
// trailer, the "SECf" directory and its offset.
std::vector<uint8_t> Assembled(const std::vector<std::vector<uint8_t>>& parts,
                               const std::vector<uint8_t>& header,
                               const std::vector<uint8_t>& trailer) {
    std::vector<uint8_t> f((header.size() & ~size_t{31}) + 32, 0);
    std::copy(header.begin(), header.end(), f.begin());
    std::vector<std::pair<uint32_t, uint32_t>> directory;
    for (size_t i = 0; i < parts.size(); ++i) {
        f.resize((f.size() + 31) / 32 * 32, 0);
        directory.emplace_back(static_cast<uint32_t>(f.size()),
                               static_cast<uint32_t>(parts[i].size()));
        f.insert(f.end(), parts[i].begin(), parts[i].end());
    }
    directory.emplace_back(static_cast<uint32_t>(f.size()), static_cast<uint32_t>(trailer.size()));
    f.insert(f.end(), trailer.begin(), trailer.end());
    const auto at = static_cast<uint32_t>(f.size());
    f.insert(f.end(), {'S', 'E', 'C', 'f'});
    PutU32(f, 0x100);
    PutU32(f, static_cast<uint32_t>(directory.size()));
    for (size_t i = 0; i < directory.size(); ++i) {
        PutU32(f, directory[i].first);
        PutU32(f, directory[i].second);
        const char* tag = i + 1 == directory.size() ? "QDLA" : "FRAM";
        f.insert(f.end(), tag, tag + 4);
    }
    PutU32(f, at);
    return f;
}

bool HasHiddenFile(const std::vector<std::string>& names) {
    for (const auto& n : names) {
        if (!n.empty() && n[0] == '.') return true;
    }
    return false;
}

class ResumeTest : public TransferTest {
protected:
    // Fails every request for object id from byte offset `from` on.
    void FailObject(uint32_t objectId, uint32_t from) {
        camera.pieceHook = [objectId, from](int, const PieceRequest& r, std::vector<uint8_t>&,
                                            HResult& hr) {
            if (r.objectId != objectId || r.offset < from) return false;
            hr = KVX_E_FAIL;
            return true;
        };
    }
    void Serve(uint16_t from, const std::vector<std::vector<uint8_t>>& parts,
               const std::vector<uint8_t>& header, const std::vector<uint8_t>& trailer,
               const std::string& name = "VRN_0010.Q7I") {
        const auto n = static_cast<uint16_t>(parts.size());
        for (uint16_t p = from; p <= n; ++p) {
            ServePart(p, n, parts[p - 1], 60, 40, header, trailer, 0, 32, 0, name);
        }
    }
};

// ---------------------------------------------------------------------------
// A Q7I part fails, and the camera sends it again

TEST_F(ResumeTest, FailedPartIsJoinedWhenItComesAgain) {
    struct Case {
        uint16_t failing;   // the part whose pieces fail
        uint32_t failFrom;  // 0: nothing of it arrives; else the bytes before arrive
        bool newRun;        // the part comes again to a new transfer (a later run)
        bool rename;
        const char* endsAs;  // the picture's file at the end
    };
    // A failed part 1 is not taken up again (nothing is joined yet, and a
    // later picture of the same name could not be told from it): the part
    // starts a file of its own, and the kept one goes once that holds it.
    const Case cases[] = {
        {2, 0, true, false, "VRN_0010.Q7I"},         {2, 0x200000, true, false, "VRN_0010.Q7I"},
        {2, 0x200000, false, false, "VRN_0010.Q7I"}, {3, 0x200000, true, false, "VRN_0010.Q7I"},
        {3, 0, false, false, "VRN_0010.Q7I"},        {2, 0x200000, true, true, "IMG10001.Q7I"},
        {1, 0, true, false, "VRN_0010_1.Q7I"},       {1, 0x200000, false, false, "VRN_0010_1.Q7I"},
        {1, 0x200000, true, true, "IMG10002.Q7I"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "part " << c.failing << " from " << c.failFrom
                     << (c.newRun ? " new run" : " same run") << (c.rename ? " renamed" : ""));
        for (auto& f : Files()) std::filesystem::remove(folder + f);
        camera = FakeCamera{};
        options.rename = c.rename;
        MakeTransfer();
        // Parts larger than one piece, so a failure can leave part of one.
        const std::vector<std::vector<uint8_t>> parts = {
            PictureBytes(2'200'000, 61), PictureBytes(2'300'000, 62), PictureBytes(2'150'000, 63)};
        const auto header = PictureBytes(100, 64), trailer = PictureBytes(40, 65);
        const std::string kept = folder + (c.rename ? "IMG10001.Q7I" : "VRN_0010.Q7I");
        const std::string final = folder + c.endsAs;

        Serve(1, {parts.begin(), parts.begin() + c.failing}, header, trailer);
        // The lists served so far describe parts 1 .. failing of 3.
        for (auto& l : camera.lists) l.multiPartInfo[2] = 3;
        FailObject(0x200u + c.failing, c.failFrom);
        for (int i = 0; i < c.failing; ++i) transfer->GetPictFileInfo();
        EXPECT_EQ(Files(), std::vector<std::string>{kept.substr(folder.size()) + ".incomplete"});
        auto results = transfer->LastFileResults();
        ASSERT_EQ(results.size(), 1u);
        EXPECT_FALSE(results[0].complete);

        camera.pieceHook = nullptr;
        if (c.newRun) MakeTransfer();
        Serve(c.failing, parts, header, trailer);
        for (int p = c.failing; p <= 3; ++p) transfer->GetPictFileInfo();

        EXPECT_EQ(Files(), std::vector<std::string>{final.substr(folder.size())});
        EXPECT_EQ(ReadFile(final), Assembled(parts, header, trailer));
        results = transfer->LastFileResults();
        ASSERT_EQ(results.size(), 1u);
        EXPECT_TRUE(results[0].complete);
        EXPECT_EQ(results[0].path, final);
    }
}

TEST_F(ResumeTest, PictureCutOffByTheLinkEndingIsJoinedByTheNextRun) {
    const std::vector<std::vector<uint8_t>> parts = {
        PictureBytes(1000, 131), PictureBytes(700, 132), PictureBytes(500, 133)};
    const auto header = PictureBytes(100, 134), trailer = PictureBytes(40, 135);
    Serve(1, parts, header, trailer);
    transfer->GetPictFileInfo();
    transfer->GetPictFileInfo();
    // The link ends after part 2: the parts become visible at once.
    MakeTransfer();
    EXPECT_EQ(Files(), std::vector<std::string>{"VRN_0010.Q7I.incomplete"});

    camera.lists.erase(camera.lists.begin(), camera.lists.begin() + 2);
    camera.nextList = 0;
    transfer->GetPictFileInfo();
    EXPECT_EQ(Files(), std::vector<std::string>{"VRN_0010.Q7I"});
    EXPECT_EQ(ReadFile(folder + "VRN_0010.Q7I"), Assembled(parts, header, trailer));
}

TEST_F(ResumeTest, PictureOfAKilledRunIsJoinedByTheNextRun) {
    const std::vector<std::vector<uint8_t>> parts = {
        PictureBytes(1000, 141), PictureBytes(700, 142), PictureBytes(500, 143)};
    const auto header = PictureBytes(100, 144), trailer = PictureBytes(40, 145);
    Serve(1, parts, header, trailer);
    transfer->GetPictFileInfo();
    transfer->GetPictFileInfo();
    // The run is killed here: only its hidden file is left, as it is now.
    const std::string hidden = folder + ".VRN_0010.Q7I_temp";
    ASSERT_EQ(Files(), std::vector<std::string>{".VRN_0010.Q7I_temp"});
    const auto leftover = ReadFile(hidden);
    MakeTransfer();
    for (auto& f : Files()) std::filesystem::remove(folder + f);
    std::ofstream(hidden, std::ios::binary)
        .write(reinterpret_cast<const char*>(leftover.data()), static_cast<long>(leftover.size()));

    camera.lists.erase(camera.lists.begin(), camera.lists.begin() + 2);
    camera.nextList = 0;
    transfer->GetPictFileInfo();
    EXPECT_EQ(Files(), std::vector<std::string>{"VRN_0010.Q7I"});
    EXPECT_EQ(ReadFile(folder + "VRN_0010.Q7I"), Assembled(parts, header, trailer));
}

TEST_F(ResumeTest, KeptFileThatDoesNotProveItselfIsNeverJoined) {
    struct Case {
        const char* what;
        std::function<void(const std::string&)> spoil;
        std::string cameraName;      // of the picture that comes next
        std::string keptAs;          // where everything of the new run goes
        uint32_t partTwoSize = 700;  // of the part 2 the new run gets
    };
    auto flip = [](size_t fromEnd) {
        return [fromEnd](const std::string& path) {
            auto f = ReadFile(path);
            f[f.size() - fromEnd] ^= 0x40;
            std::ofstream(path, std::ios::binary)
                .write(reinterpret_cast<const char*>(f.data()), static_cast<long>(f.size()));
        };
    };
    const Case cases[] = {
        {"joined bytes changed",
         [](const std::string& path) {
             auto f = ReadFile(path);
             f[300] ^= 1;
             std::ofstream(path, std::ios::binary)
                 .write(reinterpret_cast<const char*>(f.data()), static_cast<long>(f.size()));
         },
         "VRN_0010.Q7I", "VRN_0010_1.Q7I.incomplete"},
        {"cut short", [](const std::string& path) { ::truncate(path.c_str(), 1100); },
         "VRN_0010.Q7I", "VRN_0010_1.Q7I.incomplete"},
        {"record length out of bounds", flip(10), "VRN_0010.Q7I", "VRN_0010_1.Q7I.incomplete"},
        {"record damaged", flip(20), "VRN_0010.Q7I", "VRN_0010_1.Q7I.incomplete"},
        {"another picture", [](const std::string&) {}, "VRN_0011.Q7I", "VRN_0011.Q7I.incomplete"},
        {"a part 2 of another size", [](const std::string&) {}, "VRN_0010.Q7I",
         "VRN_0010_1.Q7I.incomplete", 701},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (auto& f : Files()) std::filesystem::remove(folder + f);
        camera = FakeCamera{};
        MakeTransfer();
        const std::vector<std::vector<uint8_t>> parts = {
            PictureBytes(1000, 71), PictureBytes(700, 72), PictureBytes(500, 73)};
        const auto header = PictureBytes(100, 74), trailer = PictureBytes(40, 75);
        Serve(1, {parts[0], parts[1]}, header, trailer);
        for (auto& l : camera.lists) l.multiPartInfo[2] = 3;
        FailObject(0x202, 0);
        transfer->GetPictFileInfo();
        transfer->GetPictFileInfo();
        const std::string kept = folder + "VRN_0010.Q7I.incomplete";
        ASSERT_TRUE(CQ7iJoinRecord::Read(kept));
        c.spoil(kept);
        const auto keptBytes = ReadFile(kept);

        camera.pieceHook = nullptr;
        MakeTransfer();
        auto again = parts;
        again[1] = PictureBytes(c.partTwoSize, 72);
        Serve(2, again, header, trailer, c.cameraName);
        transfer->GetPictFileInfo();
        transfer->GetPictFileInfo();

        // The kept file is left exactly as it was; everything of the new run
        // is in one file of its own.
        EXPECT_EQ(ReadFile(kept), keptBytes);
        EXPECT_EQ(Files(), (std::vector<std::string>{"VRN_0010.Q7I.incomplete", c.keptAs}));
        std::vector<uint8_t> expected(128, 0);
        std::copy(header.begin(), header.end(), expected.begin());
        expected.insert(expected.end(), again[1].begin(), again[1].end());
        expected.resize((expected.size() + 31) / 32 * 32, 0);
        expected.insert(expected.end(), again[2].begin(), again[2].end());
        expected.insert(expected.end(), trailer.begin(), trailer.end());
        EXPECT_EQ(ReadFile(folder + c.keptAs), expected);
    }
}

TEST_F(ResumeTest, JoinRecordReadIsBoundedByTheFile) {
    // Every cut of a kept file, from nothing to whole less one byte, is
    // refused without reading past its end; only the whole file proves itself.
    const std::vector<std::vector<uint8_t>> parts = {PictureBytes(1000, 81), PictureBytes(700, 82)};
    const auto header = PictureBytes(100, 83), trailer = PictureBytes(40, 84);
    Serve(1, {parts[0], parts[1]}, header, trailer);
    camera.lists[0].multiPartInfo[2] = 3;
    camera.lists[1].multiPartInfo[2] = 3;
    FailObject(0x202, 0);
    transfer->GetPictFileInfo();
    transfer->GetPictFileInfo();
    const std::string kept = folder + "VRN_0010.Q7I.incomplete";
    const auto whole = ReadFile(kept);
    auto state = CQ7iJoinRecord::Read(kept);
    ASSERT_TRUE(state);
    EXPECT_EQ(state->nextPart, 2);
    EXPECT_EQ(state->joinedLength, 1152u);
    EXPECT_EQ(state->finalName, "VRN_0010.Q7I");
    for (size_t size = 0; size < whole.size(); ++size) {
        std::ofstream(kept, std::ios::binary)
            .write(reinterpret_cast<const char*>(whole.data()), static_cast<long>(size));
        ASSERT_FALSE(CQ7iJoinRecord::Read(kept)) << size;
    }
    // Nothing arrived of part 2, so every byte is either joined or record:
    // a change to any one of them is refused.
    for (size_t at = 0; at < whole.size(); ++at) {
        auto changed = whole;
        changed[at] ^= 0x01;
        std::ofstream(kept, std::ios::binary)
            .write(reinterpret_cast<const char*>(changed.data()),
                   static_cast<long>(changed.size()));
        ASSERT_FALSE(CQ7iJoinRecord::Read(kept)) << at;
    }
}

// ---------------------------------------------------------------------------
// Hidden files a killed run left

TEST_F(ResumeTest, LeftoverHiddenFilesAreDealtWithAtTheFirstTransfer) {
    const auto header = PictureBytes(100, 91), trailer = PictureBytes(40, 92);
    const auto whole = Assembled({PictureBytes(900, 93), PictureBytes(300, 94)}, header, trailer);
    const std::vector<uint8_t> cut(whole.begin(), whole.end() - 10);
    const auto partial = PictureBytes(5000, 95);
    auto put = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
        std::ofstream(folder + name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    };
    struct Case {
        const char* leftover;
        std::vector<uint8_t> bytes;
        const char* theirs;   // a file that already has the name, or nullptr
        const char* becomes;  // nullptr: removed
    };
    const Case cases[] = {
        {".EMPTY.JPG_temp", {}, nullptr, nullptr},
        {".WHOLE.Q7I_temp", whole, nullptr, "WHOLE.Q7I"},
        {".CUT.Q7I_temp", cut, nullptr, "CUT.Q7I.incomplete"},
        {".PART.JPG_temp", partial, nullptr, "PART.JPG.incomplete"},
        {".TAKEN.Q7I_temp", whole, "TAKEN.Q7I", "TAKEN_1.Q7I"},
        {".BUSY.JPG_temp", partial, "BUSY.JPG.incomplete", "BUSY_1.JPG.incomplete"},
    };
    std::vector<std::string> expected;
    for (const Case& c : cases) {
        put(c.leftover, c.bytes);
        if (c.theirs) {
            WriteFile(folder + c.theirs, "theirs");
            expected.push_back(c.theirs);
        }
        if (c.becomes) expected.push_back(c.becomes);
    }
    // A link under a leftover's name is not a file of ours: neither it nor
    // what it points at is touched.
    WriteFile(root + "/elsewhere.JPG", "elsewhere");
    std::filesystem::create_symlink(root + "/elsewhere.JPG", folder + ".LINK.JPG_temp");
    expected.push_back(".LINK.JPG_temp");
    std::sort(expected.begin(), expected.end());

    ListReply failing;
    failing.hr = KVX_E_FAIL;
    camera.lists.push_back(failing);
    transfer->GetPictFileInfo();

    EXPECT_EQ(Files(), expected);
    EXPECT_EQ(ReadFile(root + "/elsewhere.JPG"),
              std::vector<uint8_t>({'e', 'l', 's', 'e', 'w', 'h', 'e', 'r', 'e'}));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.leftover);
        if (c.becomes) {
            EXPECT_EQ(ReadFile(folder + c.becomes), c.bytes);
        }
        if (c.theirs) {
            EXPECT_EQ(ReadFile(folder + c.theirs),
                      std::vector<uint8_t>({'t', 'h', 'e', 'i', 'r', 's'}));
        }
    }
}

TEST_F(ResumeTest, KeptPartialFileGoesOnceThePictureIsDownloadedWhole) {
    const auto bytes = PictureBytes(200'000, 96);
    std::vector<uint8_t> head(bytes.begin(), bytes.begin() + 70'000);
    std::vector<uint8_t> other = PictureBytes(70'000, 97);
    auto put = [&](const std::string& name, const std::vector<uint8_t>& b) {
        std::ofstream(folder + name, std::ios::binary)
            .write(reinterpret_cast<const char*>(b.data()), static_cast<long>(b.size()));
    };
    put(".SHOT.JPG_temp", head);        // a killed run's start of this picture
    put("ELSE.JPG.incomplete", other);  // the start of another picture
    put("SHOT.Q7F.incomplete", head);   // same bytes, another type: not this picture
    OnePicture(kJpg, "SHOT.JPG", bytes);
    transfer->GetPictFileInfo();

    // The leftover became SHOT.JPG.incomplete, so the download took the next
    // suffix; once it was whole, the partial copy had nothing left to keep.
    EXPECT_EQ(Files(), (std::vector<std::string>{"ELSE.JPG.incomplete", "SHOT.Q7F.incomplete",
                                                 "SHOT_1.JPG"}));
    EXPECT_EQ(ReadFile(folder + "SHOT_1.JPG"), bytes);
    EXPECT_EQ(ReadFile(folder + "ELSE.JPG.incomplete"), other);
}

// ---------------------------------------------------------------------------
// One number or suffix per picture

TEST_F(ResumeTest, FilesOfAPictureKeepOneNumberWhenANameIsTaken) {
    struct Case {
        const char* what;
        bool rename;
        std::string raw, jpg;              // the camera's names
        std::vector<std::string> present;  // in the folder before the list
        std::string appears;               // created while the picture is read
        bool rawFails;
        std::string rawAs, jpgAs;
    };
    const Case cases[] = {
        {"renamed, the JPEG's name appears",
         true,
         "VRN_0007.Q7F",
         "VRN_0007.JPG",
         {},
         "IMG10001.JPG",
         false,
         "IMG10002.Q7F",
         "IMG10002.JPG"},
        {"camera names, the JPEG's name appears",
         false,
         "ABCD0001.Q7F",
         "ABCD0001.JPG",
         {},
         "ABCD0001.JPG",
         false,
         "ABCD0001_1.Q7F",
         "ABCD0001_1.JPG"},
        {"camera names, the JPEG's name was taken",
         false,
         "A.Q7F",
         "B.JPG",
         {"B.JPG"},
         "",
         false,
         "A_1.Q7F",
         "B_1.JPG"},
        {"renamed, RAW kept incomplete, the JPEG's name appears",
         true,
         "VRN_0008.Q7F",
         "VRN_0008.JPG",
         {},
         "IMG10001.JPG",
         true,
         "IMG10002.Q7F.incomplete",
         "IMG10002.JPG"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (auto& f : Files()) std::filesystem::remove(folder + f);
        camera = FakeCamera{};
        launched.clear();
        options.rename = c.rename;
        options.reviewType = 2;
        options.reviewSoft = root + "/review-app";
        WriteFile(options.reviewSoft);
        MakeTransfer();
        for (const auto& f : c.present) WriteFile(folder + f, "theirs");

        const auto raw = PictureBytes(3'000'000, 101), jpg = PictureBytes(2'500'000, 102);
        camera.objects[1] = raw;
        camera.objects[2] = jpg;
        ListReply list;
        list.entries = {MakeEntry(kQ7f, c.raw, 3'000'000, 1), MakeEntry(kJpg, c.jpg, 2'500'000, 2)};
        list.record.assign(64, 0);
        camera.lists.push_back(list);
        if (c.rawFails) FailObject(1, 0x200000);
        host.onExecCommand = [&] {
            if (!c.appears.empty() && !std::filesystem::exists(folder + c.appears)) {
                WriteFile(folder + c.appears, "theirs");
            }
        };
        transfer->GetPictFileInfo();
        host.onExecCommand = nullptr;

        std::vector<std::string> expected = c.present;
        if (!c.appears.empty()) expected.push_back(c.appears);
        expected.push_back(c.rawAs);
        expected.push_back(c.jpgAs);
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(Files(), expected);
        const std::vector<uint8_t> rawKept(raw.begin(),
                                           c.rawFails ? raw.begin() + 0x200000 : raw.end());
        EXPECT_EQ(ReadFile(folder + c.rawAs), rawKept);
        EXPECT_EQ(ReadFile(folder + c.jpgAs), jpg);
        auto results = transfer->LastFileResults();
        ASSERT_EQ(results.size(), 2u);
        EXPECT_EQ(results[0].path, folder + c.rawAs);
        EXPECT_EQ(results[0].complete, !c.rawFails);
        EXPECT_EQ(results[1].path, folder + c.jpgAs);
        EXPECT_TRUE(results[1].complete);
        ASSERT_EQ(launched.size(), 1u);
        EXPECT_EQ(launched[0].back(), folder + c.jpgAs);
    }
}

TEST_F(ResumeTest, FilesThatWouldShareANameAreNamedApart) {
    // Two JPEGs in one list are not one picture's RAW and JPEG: each gets a
    // name of its own, and neither is left hidden.
    for (bool rename : {true, false}) {
        SCOPED_TRACE(rename);
        for (auto& f : Files()) std::filesystem::remove(folder + f);
        camera = FakeCamera{};
        options.rename = rename;
        MakeTransfer();
        const auto one = PictureBytes(1000, 121), two = PictureBytes(1200, 122);
        camera.objects[1] = one;
        camera.objects[2] = two;
        ListReply list;
        list.entries = {MakeEntry(kJpg, "SAME.JPG", 1000, 1), MakeEntry(kJpg, "same.jpg", 1200, 2)};
        list.record.assign(64, 0);
        camera.lists.push_back(list);
        transfer->GetPictFileInfo();
        const std::vector<std::string> expected =
            rename ? std::vector<std::string>{"IMG10001.JPG", "IMG10002.JPG"}
                   : std::vector<std::string>{"SAME.JPG", "same.jpg"};
        EXPECT_EQ(Files(), expected);
        EXPECT_EQ(ReadFile(folder + expected[0]), one);
        EXPECT_EQ(ReadFile(folder + expected[1]), two);
    }
}

TEST_F(ResumeTest, NameTakenBetweenWriteAndRenameMovesToTheNextFreeName) {
    // A single file under renaming.
    options.rename = true;
    transfer->SetNamingOptions(options);
    const auto bytes = PictureBytes(3'000'000, 111);
    OnePicture(kJpg, "X.JPG", bytes);
    host.onExecCommand = [&] { WriteFile(folder + "IMG10001.JPG", "theirs"); };
    transfer->GetPictFileInfo();
    EXPECT_EQ(Files(), (std::vector<std::string>{"IMG10001.JPG", "IMG10002.JPG"}));
    EXPECT_EQ(ReadFile(folder + "IMG10002.JPG"), bytes);
    EXPECT_EQ(ReadFile(folder + "IMG10001.JPG"),
              std::vector<uint8_t>({'t', 'h', 'e', 'i', 'r', 's'}));

    // No number left to move on to: kept visible, and not reported complete.
    for (auto& f : Files()) std::filesystem::remove(folder + f);
    options.startNum = "9999999";
    transfer->SetNamingOptions(options);
    OnePicture(kJpg, "Y.JPG", bytes);
    host.onExecCommand = [&] { WriteFile(folder + "IMG9999999.JPG", "theirs"); };
    transfer->GetPictFileInfo();
    EXPECT_EQ(Files(), (std::vector<std::string>{"IMG9999999.JPG", "IMG9999999.JPG.incomplete_1"}));
    EXPECT_EQ(ReadFile(folder + "IMG9999999.JPG.incomplete_1"), bytes);
    ASSERT_EQ(transfer->LastFileResults().size(), 1u);
    EXPECT_FALSE(transfer->LastFileResults()[0].complete);
    options.startNum = "10001";

    // A joined Q7I whose name appears while its last part is read.
    for (auto& f : Files()) std::filesystem::remove(folder + f);
    options.rename = false;
    transfer->SetNamingOptions(options);
    const std::vector<std::vector<uint8_t>> parts = {PictureBytes(1000, 112),
                                                     PictureBytes(2'100'000, 113)};
    const auto header = PictureBytes(100, 114), trailer = PictureBytes(40, 115);
    Serve(1, parts, header, trailer);
    host.onExecCommand = [&] {
        if (!std::filesystem::exists(folder + "VRN_0010.Q7I")) {
            WriteFile(folder + "VRN_0010.Q7I", "theirs");
        }
    };
    transfer->GetPictFileInfo();
    transfer->GetPictFileInfo();
    EXPECT_EQ(Files(), (std::vector<std::string>{"VRN_0010.Q7I", "VRN_0010_1.Q7I"}));
    EXPECT_EQ(ReadFile(folder + "VRN_0010_1.Q7I"), Assembled(parts, header, trailer));
    EXPECT_FALSE(HasHiddenFile(Files()));
}

}  // namespace
}  // namespace kvx::engine::test
