#include "model/exposure_table.h"

#include <array>
#include <cstdio>
#include <initializer_list>

#include "model/display_text.h"

namespace VARNO {

namespace {

struct CodeValue {
    uint8_t code;
    int16_t value;
};

constexpr CodeValue kIso[] = {
    {16, 25},   {19, 32},   {21, 40},   {24, 50},   {27, 64},   {29, 80},   {32, 100},
    {35, 125},  {37, 160},  {40, 200},  {43, 250},  {45, 320},  {48, 400},  {51, 500},
    {53, 640},  {56, 800},  {59, 1000}, {61, 1250}, {64, 1600}, {67, 2000}, {69, 2500},
    {72, 3200}, {75, 4000}, {77, 5000}, {80, 6400},
};

// Code 14, not 13, is +1.7 (and 243 is -1.7): the camera's own rounding.
constexpr CodeValue kExpA[] = {
    {0, 0},     {3, 3},     {5, 7},     {8, 10},    {11, 13},   {14, 17},   {16, 20},   {19, 23},
    {21, 27},   {24, 30},   {27, 33},   {29, 37},   {32, 40},   {35, 43},   {37, 47},   {40, 50},
    {43, 53},   {45, 57},   {48, 60},   {51, 63},   {205, -63}, {208, -60}, {211, -57}, {213, -53},
    {216, -50}, {219, -47}, {221, -43}, {224, -40}, {227, -37}, {229, -33}, {232, -30}, {235, -27},
    {237, -23}, {240, -20}, {243, -17}, {245, -13}, {248, -10}, {251, -7},  {253, -3},
};

constexpr CodeValue kExpB[] = {
    {0, 0},     {4, 5},     {8, 10},    {12, 15},   {16, 20},   {20, 25},  {24, 30},
    {232, -30}, {236, -25}, {240, -20}, {244, -15}, {248, -10}, {252, -5},
};

constexpr CodeValue kShutterA[] = {
    {8, 0},       {16, 300},    {19, 250},    {21, 200},    {24, 150},    {27, 130},
    {29, 100},    {32, 80},     {35, 60},     {37, 50},     {40, 40},     {43, 32},
    {45, 25},     {48, 20},     {51, 16},     {53, 13},     {56, 10},     {59, 8},
    {61, 6},      {64, 5},      {67, 4},      {69, 3},      {72, -4},     {75, -5},
    {77, -6},     {80, -8},     {83, -10},    {85, -13},    {88, -15},    {91, -20},
    {93, -25},    {96, -30},    {99, -40},    {101, -50},   {104, -60},   {107, -80},
    {109, -100},  {112, -125},  {115, -160},  {116, -180},  {117, -200},  {120, -250},
    {123, -320},  {125, -400},  {128, -500},  {131, -640},  {133, -800},  {136, -1000},
    {139, -1250}, {141, -1600}, {144, -2000}, {147, -2500}, {149, -3200}, {152, -4000},
    {155, -5000}, {157, -6000}, {160, -8000}, {162, 162},
};

constexpr CodeValue kShutterB[] = {
    {8, 0},       {17, 300},    {20, 200},    {24, 150},    {28, 100},    {32, 80},
    {36, 60},     {40, 40},     {44, 30},     {48, 20},     {52, 15},     {56, 10},
    {60, 7},      {64, -2},     {68, -3},     {72, -4},     {76, -6},     {80, -8},
    {84, -10},    {88, -15},    {92, -20},    {96, -30},    {100, -45},   {104, -60},
    {108, -90},   {112, -125},  {116, -180},  {120, -250},  {124, -350},  {128, -500},
    {132, -750},  {136, -1000}, {140, -1500}, {144, -2000}, {148, -3000}, {152, -4000},
    {156, -6000}, {160, -8000}, {162, 162},
};

constexpr CodeValue kApertureA[] = {
    {8, 10},   {11, 11},  {13, 12},  {16, 14},   {19, 16},   {21, 18},   {24, 20},   {27, 22},
    {29, 25},  {32, 28},  {35, 32},  {37, 35},   {40, 40},   {43, 45},   {45, 50},   {48, 56},
    {51, 63},  {53, 71},  {56, 80},  {59, 90},   {61, 100},  {64, 110},  {67, 130},  {69, 140},
    {72, 160}, {75, 180}, {77, 200}, {80, 220},  {83, 250},  {85, 290},  {88, 320},  {91, 360},
    {93, 400}, {96, 450}, {99, 510}, {101, 570}, {104, 640}, {107, 720}, {109, 810}, {112, 910},
};

constexpr CodeValue kApertureB[] = {
    {8, 10},   {12, 12},  {16, 14},   {20, 18},   {24, 20},   {28, 25},   {32, 28},
    {36, 35},  {40, 40},  {44, 45},   {48, 56},   {52, 67},   {56, 80},   {60, 95},
    {64, 110}, {68, 130}, {72, 160},  {76, 190},  {80, 220},  {84, 270},  {88, 320},
    {92, 380}, {96, 450}, {100, 540}, {104, 640}, {108, 760}, {112, 910},
};

constexpr int kColumns = 7;

struct Table {
    std::array<std::array<int16_t, kColumns>, 256> value{};
    std::array<std::array<char[5], 256>, 2> readout{};
};

template <size_t N>
void Fill(Table& t, ExposureColumn column, const CodeValue (&rows)[N]) {
    for (const CodeValue& row : rows) t.value[row.code][static_cast<int>(column)] = row.value;
}

Table BuildTable() {
    Table t;
    for (auto& row : t.value) row.fill(kNoValue);
    Fill(t, ExposureColumn::Iso, kIso);
    Fill(t, ExposureColumn::ExpA, kExpA);
    Fill(t, ExposureColumn::ExpB, kExpB);
    Fill(t, ExposureColumn::ShutterA, kShutterA);
    Fill(t, ExposureColumn::ShutterB, kShutterB);
    Fill(t, ExposureColumn::ApertureA, kApertureA);
    Fill(t, ExposureColumn::ApertureB, kApertureB);
    for (int side = 0; side < 2; ++side) {
        const int column =
            static_cast<int>(side == 0 ? ExposureColumn::ShutterA : ExposureColumn::ShutterB);
        for (int code = 0; code < 256; ++code) {
            const int16_t v = t.value[code][column];
            if (v != kNoValue) FormatShutterReadout(v, t.readout[side][code]);
        }
    }
    return t;
}

const Table& TheTable() {
    static const Table table = BuildTable();
    return table;
}

}  // namespace

int16_t ConversionValue(ExposureColumn column, uint8_t code) {
    const int c = static_cast<int>(column);
    if (c < 0 || c >= kColumns) return kNoValue;
    return TheTable().value[code][c];
}

const char* ShutterReadoutText(ExposureColumn column, uint8_t code) {
    int side;
    if (column == ExposureColumn::ShutterA) {
        side = 0;
    } else if (column == ExposureColumn::ShutterB) {
        side = 1;
    } else {
        return nullptr;
    }
    if (ConversionValue(column, code) == kNoValue) return nullptr;
    return TheTable().readout[side][code];
}

}  // namespace VARNO
