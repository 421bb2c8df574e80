// The texts the window shows for camera values: value rows by code, the
// filtered selector lists, the numeric readouts, focal lengths, the camera
// line and the camera name of the configuration record. Every code of every
// table is checked once; the input then picks codes, masks, numbers and
// names. What must hold:
//  - a row found by code has that code and is the first such row, and its
//    text exists and is UTF-8;
//  - a selector list holds at most its maximum of offered rows, and its
//    selection points at the current code when the list holds it;
//  - every readout is UTF-8, a four-character readout stays in its five
//    bytes, and a focal length reads back as the number it came from;
//  - the camera line is "Camera: ", the name, and the focal lengths in
//    brackets; a camera name is read only up to its record's end.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/common/byte_reader.h"
#include "fuzz/common/guarded_buffer.h"
#include "model/display_text.h"
#include "model/value_tables.h"

using namespace VARNO;
using kvx::fuzz::ByteReader;
using kvx::fuzz::GuardedBuffer;

namespace {

bool IsUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const uint8_t c = static_cast<uint8_t>(s[i]);
        size_t n;
        if (c < 0x80)
            n = 0;
        else if (c >= 0xC2 && c <= 0xDF)
            n = 1;
        else if (c >= 0xE0 && c <= 0xEF)
            n = 2;
        else if (c >= 0xF0 && c <= 0xF4)
            n = 3;
        else
            return false;
        if (i + n >= s.size()) return false;
        for (size_t k = 1; k <= n; ++k)
            if ((static_cast<uint8_t>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n + 1;
    }
    return true;
}

void CheckRow(ValueTable table, uint8_t code) {
    const tag_VALUE_ITEM* row = FindValueByCode(table, code);
    const int index = ValueIndexOfCode(table, code);
    const auto rows = GetValueTable(table);
    if (!row) {
        KVX_FUZZ_CHECK(index == -1);
        for (const auto& r : rows) KVX_FUZZ_CHECK(r.code != code);
        return;
    }
    KVX_FUZZ_CHECK(index >= 0 && static_cast<size_t>(index) < rows.size());
    KVX_FUZZ_CHECK(row == &rows[static_cast<size_t>(index)] && row->code == code);
    for (int i = 0; i < index; ++i) KVX_FUZZ_CHECK(rows[static_cast<size_t>(i)].code != code);
    const char* text = ValueText(*row);
    KVX_FUZZ_CHECK(text != nullptr && IsUtf8(text));
}

void CheckFocal(uint16_t f) {
    const std::string text = FormatFocalLength(f);
    KVX_FUZZ_CHECK(!text.empty() && text.size() <= 7);
    char* end = nullptr;
    const long whole = std::strtol(text.c_str(), &end, 10);
    KVX_FUZZ_CHECK(whole == (f >> 4));
    if (f & 0xF) {
        KVX_FUZZ_CHECK(end[0] == '.' && end[1] >= '0' && end[1] <= '9' && end[2] == '\0');
        KVX_FUZZ_CHECK(end[1] - '0' == ((f & 0xF) * 10) >> 4);
    } else {
        KVX_FUZZ_CHECK(*end == '\0');
    }
}

// Every row of every table, once.
bool CheckAllRows() {
    for (int t = 0; t < static_cast<int>(ValueTable::Count); ++t)
        for (int code = 0; code < 256; ++code)
            CheckRow(static_cast<ValueTable>(t), static_cast<uint8_t>(code));
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool allRows = CheckAllRows();
    (void)allRows;
    static GuardedBuffer name(256);
    static GuardedBuffer readout(5);
    ByteReader in(data, size);

    const auto table = static_cast<ValueTable>(in.U8() % static_cast<int>(ValueTable::Count));
    const uint8_t code = in.U8();
    CheckRow(table, code);
    const uint32_t mask = in.U32();
    const int current = in.Bit() ? -1 : in.U8();
    const FilteredList list = FilterValueTable(table, mask, current);
    KVX_FUZZ_CHECK(list.items.size() <= kMaxSelectorEntries);
    KVX_FUZZ_CHECK(list.selection >= 0 &&
                   (list.items.empty() || static_cast<size_t>(list.selection) < list.items.size()));
    bool holdsCurrent = false;
    for (const tag_VALUE_ITEM* item : list.items) {
        KVX_FUZZ_CHECK(IsOffered(*item, mask));
        holdsCurrent = holdsCurrent || item->code == current;
    }
    if (holdsCurrent)
        KVX_FUZZ_CHECK(list.items[static_cast<size_t>(list.selection)]->code == current);

    if (auto b = BracketSettingOf(in.U8()))
        KVX_FUZZ_CHECK(BracketSettingOf(BracketSettingCode(b->shotsClass, b->order)).has_value());

    const int16_t v = static_cast<int16_t>(in.U16());
    for (const std::string& s : {FormatShutter(v), FormatAperture(v), FormatIso(v),
                                 FormatExposureValue(v), FormatProgramShift(static_cast<int8_t>(v)),
                                 FormatPictureParameter(static_cast<int8_t>(v)),
                                 FormatColorTemperature(static_cast<uint16_t>(v), in.U16()),
                                 FormatWbBracketAmount(static_cast<uint8_t>(v))})
        KVX_FUZZ_CHECK(IsUtf8(s));
    char* out = reinterpret_cast<char*>(readout.Place(5));
    FormatShutterReadout(v, out);
    KVX_FUZZ_CHECK(std::memchr(out, '\0', 5) != nullptr);

    // The camera name as the configuration record holds it: any bytes, read
    // up to the terminator or the record's end, then the camera line.
    const uint16_t shortest = in.U16(), longest = in.U16();
    CheckFocal(shortest);
    CheckFocal(longest);
    size_t got = 0;
    const uint8_t* raw = in.Take(in.U8() % 60, &got);
    char* text = reinterpret_cast<char*>(name.Place(got, raw, got));
    const std::string cameraName = AnsiToUtf8(text, got);
    KVX_FUZZ_CHECK(IsUtf8(cameraName));
    const std::string line = FormatCameraLine(cameraName, shortest, longest);
    const std::string head = "Camera: " + cameraName + "(" + FormatFocalLength(shortest);
    KVX_FUZZ_CHECK(line.rfind(head, 0) == 0);
    KVX_FUZZ_CHECK(line.back() == ')');
    KVX_FUZZ_CHECK((shortest == longest) == (line.size() == head.size() + 1));
    return 0;
}
