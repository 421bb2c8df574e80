// Shared set-up of the transfer tests: a fresh destination folder, the log
// written into it at full detail, a scripted camera and host.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "engine/picture_transfer.h"
#include "fake_camera.h"
#include "log/write_log.h"

namespace kvx::engine::test {

class TransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kvx-transfer-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        folder = root + "/pictures/";
        std::filesystem::create_directories(folder);
        DeliverableLog().SetFolder(root + "/");
        DeliverableLog().SetThreshold(6);
        options.destinationFolder = folder;
        MakeTransfer();
    }
    void TearDown() override {
        transfer.reset();
        DeliverableLog().SetThreshold(0);
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }

    void MakeTransfer() {
        transfer = std::make_unique<CPictureTransfer>(
            camera, host, CReviewLauncher([this](const std::vector<std::string>& argv) {
                launched.push_back(argv);
                return true;
            }));
        transfer->SetNamingOptions(options);
    }

    std::string Log() const {
        std::ifstream in(root + "/kvx.log", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool Logged(const std::string& text) const { return Log().find(text) != std::string::npos; }

    static std::vector<uint8_t> ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
    }
    static void WriteFile(const std::string& path, const std::string& text = "x") {
        std::ofstream(path, std::ios::binary) << text;
    }
    // Every file name of the destination folder, hidden ones included.
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (auto& e : std::filesystem::directory_iterator(folder)) {
            names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    // One picture of one file, served as one list.
    void OnePicture(uint16_t format, const std::string& name, const std::vector<uint8_t>& bytes,
                    uint32_t objectId = 0x100) {
        camera.objects[objectId] = bytes;
        ListReply list;
        list.entries.push_back(
            MakeEntry(format, name, static_cast<uint32_t>(bytes.size()), objectId));
        list.record.assign(64, 0);
        camera.lists.push_back(list);
    }

    // Serves part p of n of a Q7I picture; the last part's list carries the
    // header block at headerOffset and the trailer at headerOffset + header +
    // 8 of its reply record (or at trailerOffset when that is given).
    void ServePart(uint16_t p, uint16_t n, const std::vector<uint8_t>& bytes, uint32_t a,
                   uint32_t b, const std::vector<uint8_t>& header,
                   const std::vector<uint8_t>& trailer, uint32_t recordSize = 0,
                   uint32_t headerOffset = 32, uint32_t trailerOffset = 0,
                   const std::string& name = "VRN_0010.Q7I") {
        const uint32_t objectId = 0x200 + p;
        camera.objects[objectId] = bytes;
        ListReply list;
        list.entries.push_back(
            MakeEntry(0x380A, name, static_cast<uint32_t>(bytes.size()), objectId));
        if (trailerOffset == 0) trailerOffset = headerOffset + a + b + 8;
        PutMultiPartInfo(list.multiPartInfo, p, n, headerOffset, a, b, trailerOffset,
                         static_cast<uint32_t>(trailer.size()));
        list.record.assign(recordSize ? recordSize : trailerOffset + trailer.size(), 0x55);
        if (p == n) {
            for (size_t i = 0; i < header.size() && headerOffset + i < list.record.size(); ++i) {
                list.record[headerOffset + i] = header[i];
            }
            for (size_t i = 0; i < trailer.size() && trailerOffset + i < list.record.size(); ++i) {
                list.record[trailerOffset + i] = trailer[i];
            }
        }
        camera.lists.push_back(list);
    }

    std::string root;
    std::string folder;
    NamingOptions options;
    FakeCamera camera;
    FakeHost host;
    std::vector<std::vector<std::string>> launched;
    std::unique_ptr<CPictureTransfer> transfer;
};

}  // namespace kvx::engine::test
