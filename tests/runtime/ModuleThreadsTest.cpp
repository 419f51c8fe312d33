// CRQ_File objects reading on several threads at once through an encoder
// module. This program has a plugins folder of its own beside it, holding a
// test module that keeps state and never declared isThreadSafe.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "runtime/RQ_File.h"
#include "schemes/PluginHost.h"
#include "tests/support/PackFixture.h"

namespace tarvex {
namespace {

// Four readers decode a file each at once. The module's Decode holds each
// call at a gate between filling its one buffer and copying it out: calls
// that overlapped there would hand out each other's bytes. The gate opens
// once every reader has reached the module, inside Decode or waiting for it.
TEST(RQ_FileThreads, AModuleThatKeepsStateIsCalledOneCallAtATimeByAllReaders)
{
    test::TempDir dir;
    test::PackDoc doc;  // finds its modules beside this program, as CRQ_File does
    const ModuleInfo info = doc.plugins.Inspect("t-shared.edl");
    ASSERT_EQ(info.verdict, ModuleVerdict::Accepted);
    ASSERT_FALSE(info.threadSafe);
    const uint8_t scheme = doc.catalogue.AddPlugin(info.moduleFile, info.providerName, info.version).value();
    constexpr size_t kReaders = 4;
    std::array<std::string, kReaders> files;
    for (size_t k = 0; k < kReaders; ++k) {
        const std::vector<uint8_t> bytes = test::RandomBytes(5000, static_cast<uint32_t>(k));
        files[k].assign(bytes.begin(), bytes.end());
        doc.AddFile(dir, "f" + std::to_string(k), bytes, scheme);
    }
    const std::string pack = dir / "p.epk";
    ASSERT_TRUE(doc.Save(pack)) << ::testing::PrintToString(doc.prompt.Texts());

    // The module as the readers load it: one handle, so one lock and one gate.
    std::string error;
    const std::optional<LoadedModule> module = doc.plugins.Load(info.moduleFile, error);
    ASSERT_TRUE(module) << error;
    const auto closeGate = module->Find<void (*)(bool)>("tmCloseGate");
    const auto atGate = module->Find<uint32_t (*)()>("tmAtGate");
    ASSERT_TRUE(closeGate && atGate);

    std::array<CRQ_File, kReaders> readers;
    for (CRQ_File& reader : readers) ASSERT_TRUE(reader.Open(pack.c_str(), true, true, nullptr));
    std::array<std::string, kReaders> read;
    std::atomic<size_t> done{0};
    closeGate(true);
    std::vector<std::thread> threads;
    for (size_t k = 0; k < kReaders; ++k) {
        threads.emplace_back([&, k] {
            CRQ_File& reader = readers[k];
            if (reader.Locate(("f" + std::to_string(k)).c_str(), nullptr) && reader.Read(nullptr, 0))
                read[k].assign(reader.m_pData, reader.GetLength());
            ++done;
        });
    }
    while (atGate() + module->Calls().Waiting() + done < kReaders) std::this_thread::yield();
    closeGate(false);
    for (std::thread& thread : threads) thread.join();
    for (size_t k = 0; k < kReaders; ++k) EXPECT_TRUE(read[k] == files[k]) << "reader " << k;
}

}  // namespace
}  // namespace tarvex
