// Picture list and vendor reply parsers against well-formed and hostile
// replies: every read stays inside the given bytes (the asan build checks).
#include "camlink/reply_parsers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "camlink/device/ptp_container.h"

namespace kvx::camlink {
namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, size_t at, uint16_t v) {
    kvx::ptp::WriteU16(b.data() + at, v);
}
void Put32(Bytes& b, size_t at, uint32_t v) {
    kvx::ptp::WriteU32(b.data() + at, v);
}

Bytes List1Entry(uint16_t v1, const std::string& name, uint32_t v4, uint32_t v5) {
    Bytes e(6);
    Put16(e, 0, v1);
    Put16(e, 2, 0x22);
    Put16(e, 4, 0x33);
    e.insert(e.end(), name.begin(), name.end());
    e.push_back(0);
    Bytes tail(8);
    Put32(tail, 0, v4);
    Put32(tail, 4, v5);
    e.insert(e.end(), tail.begin(), tail.end());
    return e;
}

Bytes List1(std::initializer_list<Bytes> entries, int n = -1) {
    Bytes b = {static_cast<uint8_t>(n < 0 ? entries.size() : static_cast<size_t>(n))};
    for (auto& e : entries) b.insert(b.end(), e.begin(), e.end());
    return b;
}

// Exact-size copies so that the sanitizer sees any read past the end.
template <typename F>
auto OnHeap(const Bytes& b, F f) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[b.size() ? b.size() : 1]);
    if (!b.empty()) std::memcpy(copy.get(), b.data(), b.size());
    return f(copy.get(), b.size());
}

TEST(PictList1, FillsEntriesAndCountsTheFilledLength) {
    Bytes list = List1({List1Entry(0x3801, "A.JPG", 1, 100), List1Entry(0xB801, "A.Q7F", 2, 200),
                        List1Entry(0x3801, "B.JPG", 3, 300)});
    KVX_PICT_FILE_ENTRY1 e[2] = {};
    auto r = OnHeap(list, [&](const uint8_t* p, size_t n) { return ParsePictList1(p, n, e, 2); });
    EXPECT_EQ(r.count, 3u);
    EXPECT_EQ(r.filled, 2u);
    EXPECT_EQ(r.rawLength, 1u + 20 + 20);
    EXPECT_EQ(+e[0].value1, 0x3801);
    EXPECT_EQ(+e[0].value3, 0x33);
    EXPECT_STREQ(e[1].fileName, "A.Q7F");
    EXPECT_EQ(+e[1].value4, 2u);
    EXPECT_EQ(+e[1].value5, 200u);

    KVX_PICT_FILE_ENTRY w[3] = {};
    r = OnHeap(list, [&](const uint8_t* p, size_t n) { return ParsePictList1Wide(p, n, w, 3); });
    EXPECT_EQ(r.filled, 3u);
    EXPECT_EQ(+w[1].formatCode, 0xB801);
    EXPECT_STREQ(w[1].formatText, "Q7F");
    EXPECT_EQ(+w[2].fileSize, 3u);
    EXPECT_EQ(+w[2].objectId, 300u);
    EXPECT_STREQ(w[2].fileName, "B.JPG");
}

TEST(PictList1, HostileRepliesStayInside) {
    const Bytes good = List1Entry(0x3801, "A.JPG", 1, 100);
    Bytes unterminated = {1, 1, 0, 2, 0, 3, 0, 'A', 'B', 'C'};
    Bytes cutTail = List1({good, List1Entry(0x3801, "B.JPG", 2, 200)});
    cutTail.resize(cutTail.size() - 3);
    const struct {
        const char* what;
        Bytes reply;
        uint32_t count;
    } cases[] = {
        {"empty reply", {}, 0},
        {"count only", {5}, 0},
        {"count above the entries", List1({good}, 200), 1},
        {"name without terminator", unterminated, 0},
        {"second entry cut short", cutTail, 1},
        {"entry header cut short", Bytes{1, 1, 0, 2}, 0},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        KVX_PICT_FILE_ENTRY1 e[4] = {};
        auto r =
            OnHeap(c.reply, [&](const uint8_t* p, size_t n) { return ParsePictList1(p, n, e, 4); });
        EXPECT_EQ(r.count, c.count);
        EXPECT_EQ(r.filled, c.count);
        KVX_PICT_FILE_ENTRY w[4] = {};
        r = OnHeap(c.reply,
                   [&](const uint8_t* p, size_t n) { return ParsePictList1Wide(p, n, w, 4); });
        EXPECT_EQ(r.count, c.count);
    }
}

TEST(PictList1, LongNamesAreNotCopiedAndNoEntriesMeansNothingFilled) {
    std::string longName(128, 'N');
    Bytes list = List1({List1Entry(1, longName, 1, 2)});
    KVX_PICT_FILE_ENTRY1 e[1];
    std::memset(&e, 0, sizeof e);
    std::strcpy(e[0].fileName, "keep");
    auto r = OnHeap(list, [&](const uint8_t* p, size_t n) { return ParsePictList1(p, n, e, 1); });
    EXPECT_EQ(r.count, 1u);
    EXPECT_STREQ(e[0].fileName, "keep");
    EXPECT_EQ(r.rawLength, 1u + 15 + 128);
    // Negative or zero room, or no array: counted, nothing written.
    r = OnHeap(list, [&](const uint8_t* p, size_t n) { return ParsePictList1(p, n, nullptr, 5); });
    EXPECT_EQ(r.filled, 0u);
    r = OnHeap(list, [&](const uint8_t* p, size_t n) { return ParsePictList1(p, n, e, -3); });
    EXPECT_EQ(r.filled, 0u);
    EXPECT_EQ(r.count, 1u);
}

// Second form builder: entry offsets and text offsets set by hand.
struct List2Builder {
    Bytes b;
    explicit List2Builder(uint32_t n, size_t size) : b(size, 0) {
        if (size >= 8) Put32(b, 4, n);
    }
    size_t Entry(uint32_t index, size_t at, uint32_t id, const char* format, uint32_t name) {
        Put32(b, 8 + 4 * index, static_cast<uint32_t>(at));
        Put32(b, at, id);
        Put32(b, at + 4, id * 10);
        Put32(b, at + 12, name);
        std::memcpy(b.data() + at + 16, format, 3);
        return at;
    }
    void Text(size_t at, const char* s) { std::memcpy(b.data() + at, s, std::strlen(s) + 1); }
};

TEST(PictList2, FillsEntriesFromOffsets) {
    List2Builder l(2, 200);
    l.Entry(0, 16, 7, "Q7I", 150);
    l.Entry(1, 80, 8, "JPG", 0);
    Put32(l.b, 80 + 8, 170);  // first text of entry 1
    l.Text(150, "P1.Q7I");
    l.Text(170, "first");
    for (int k = 0; k < 28; ++k) l.b[16 + 24 + k] = static_cast<uint8_t>(k + 1);
    KVX_PICT_FILE_ENTRY e[2] = {};
    std::strcpy(e[1].fileName, "unchanged");
    uint8_t multi = 7, info[28] = {};
    auto r = OnHeap(
        l.b, [&](const uint8_t* p, size_t n) { return ParsePictList2(p, n, e, 2, &multi, info); });
    EXPECT_EQ(r.count, 2u);
    EXPECT_EQ(r.filled, 2u);
    EXPECT_EQ(+e[0].formatCode, 0x380A);
    EXPECT_STREQ(e[0].fileName, "P1.Q7I");
    EXPECT_EQ(+e[0].fileSize, 70u);
    EXPECT_STREQ(e[1].fileName, "unchanged");  // name offset 0
    EXPECT_STREQ(e[1].firstText, "first");
    EXPECT_EQ(multi, 0);  // the last filled entry is not Q7I
    EXPECT_EQ(info[0], 1);
    EXPECT_EQ(info[27], 28);
}

TEST(PictList2, UnknownFormatLeavesTheCodeAndLongTextsAreNotCopied) {
    List2Builder l(1, 400);
    l.Entry(0, 12, 1, "XYZ", 100);
    std::memset(l.b.data() + 100, 'L', 128);  // 128 characters, then the zero at 228
    KVX_PICT_FILE_ENTRY e[1] = {};
    e[0].formatCode = 0x1234;
    std::strcpy(e[0].fileName, "keep");
    auto r = OnHeap(l.b, [&](const uint8_t* p, size_t n) {
        return ParsePictList2(p, n, e, 1, nullptr, nullptr);
    });
    EXPECT_EQ(r.count, 1u);
    EXPECT_EQ(+e[0].formatCode, 0x1234);
    EXPECT_STREQ(e[0].fileName, "keep");
}

TEST(PictList2, HostileRepliesDropTheEntriesThatReachOutside) {
    const struct {
        const char* what;
        List2Builder (*make)();
        uint32_t count;
    } cases[] = {
        {"shorter than the header",
         [] {
             List2Builder l(1, 6);
             l.b[4] = 1;
             return l;
         },
         0},
        {"count far above the table",
         [] {
             // Every slot up to the end is read as an offset; all but one point outside.
             List2Builder l(0xFFFFFFFF, 100);
             std::memset(l.b.data() + 8, 0xFF, 92);
             l.Entry(0, 76, 1, "JPG", 0);
             Put32(l.b, 76 + 8, 0);
             Put32(l.b, 96, 0);
             return l;
         },
         1},
        {"entry offset outside",
         [] {
             List2Builder l(2, 100);
             l.Entry(0, 16, 1, "JPG", 0);
             Put32(l.b, 12, 0xFFFFFFF0);
             return l;
         },
         1},
        {"entry crossing the end",
         [] {
             List2Builder l(1, 40);
             Put32(l.b, 8, 20);
             return l;
         },
         0},
        {"Q7I without room for its multi-part block",
         [] {
             List2Builder l(1, 40);
             l.Entry(0, 12, 1, "Q7I", 0);
             return l;
         },
         0},
        {"name offset outside",
         [] {
             List2Builder l(1, 64);
             l.Entry(0, 12, 1, "JPG", 64);
             return l;
         },
         0},
        {"name without terminator",
         [] {
             List2Builder l(1, 64);
             l.Entry(0, 12, 1, "JPG", 60);
             std::memset(l.b.data() + 60, 'x', 4);
             return l;
         },
         0},
        {"first text offset outside",
         [] {
             List2Builder l(1, 64);
             l.Entry(0, 12, 1, "JPG", 0);
             Put32(l.b, 12 + 8, 0x80000000);
             return l;
         },
         0},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        List2Builder l = c.make();
        KVX_PICT_FILE_ENTRY e[4] = {};
        uint8_t multi = 0, info[28];
        auto r = OnHeap(l.b, [&](const uint8_t* p, size_t n) {
            return ParsePictList2(p, n, e, 4, &multi, info);
        });
        EXPECT_EQ(r.count, c.count);
        EXPECT_EQ(r.filled, c.count);
    }
}

TEST(VendorReply, HeaderFieldsAndRecord) {
    Bytes reply(34, 0);
    Put16(reply, 0, 0x2019);
    Put32(reply, 2, 1);
    Put32(reply, 6, 42);
    Put32(reply, 10 + 16, 0xCAFE);
    reply[30] = 0x99;
    auto v = OnHeap(reply, [](const uint8_t* p, size_t n) { return ParseVendorReply(p, n); });
    ASSERT_TRUE(v);
    EXPECT_EQ(v->responseCode, 0x2019);
    EXPECT_EQ(v->sessionId, 1u);
    EXPECT_EQ(v->transactionId, 42u);
    EXPECT_EQ(v->params[4], 0xCAFEu);
    EXPECT_EQ(v->record.size(), 4u);
    EXPECT_FALSE(ParseVendorReply(reply.data(), 29));
}

}  // namespace
}  // namespace kvx::camlink
