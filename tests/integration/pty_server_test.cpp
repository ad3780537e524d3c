// The scanner model served on a real pseudo-terminal, in-process, in real time.

#include "support/PtyPc.h"
#include "support/SimLine.h"

#include "sim/PtyServer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <thread>

namespace {

using sim::PtyServer;
using test::Bytes;
using test::HexBytes;
using test::PtyPc;
using test::WaitFor;

// A model served on its own thread for the lifetime of the object.
class Served {
public:
    explicit Served(sim::ScannerConfig config, PtyServer::Options options = {}) : model(std::move(config))
    {
        options.folder = folder.Path();
        std::string error;
        started = server.Start(options, error);
        EXPECT_TRUE(started) << error;
        if (started) {
            thread = std::thread([this] { reason = server.Serve(); });
        }
    }

    ~Served()
    {
        server.RequestStop();
        if (thread.joinable()) {
            thread.join();
        }
    }

    template <class F>
    auto With(F&& fn)
    {
        return server.WithModel(std::forward<F>(fn));
    }

    test::TempFolder folder;
    sim::ScannerModel model;
    PtyServer server{model};
    bool started = false;
    std::thread thread;
    std::optional<PtyServer::StopReason> reason;
};

TEST(PtyServer, AnswersATestThenSeesTheCloseAndTurnsToUpdateMode)
{
    sim::ScannerConfig config;
    config.mode = sim::ScannerMode::Auto;
    Served served(config);
    ASSERT_TRUE(served.started);
    EXPECT_EQ(served.server.LinkPath(), served.folder.Path() + "/com1");
    EXPECT_EQ(std::filesystem::read_symlink(served.server.LinkPath()), served.server.SlavePath());

    PtyPc pc;
    ASSERT_TRUE(pc.Open(served.server.LinkPath()));
    ASSERT_TRUE(pc.Write(Bytes("05")));
    EXPECT_EQ(HexBytes(pc.Read(2, 1000)), "05 06");
    ASSERT_TRUE(pc.Write(Bytes("56")));
    EXPECT_EQ(HexBytes(pc.Read(7, 1000)), "56 06 02 01 13 03 17");
    ASSERT_TRUE(pc.Write(Bytes("06")));
    EXPECT_EQ(HexBytes(pc.Read(1, 1000)), "06");
    pc.Close();

    EXPECT_TRUE(WaitFor([&] { return served.With([](auto& m) { return m.InUpdateMode(); }); }, 2000));
    ASSERT_TRUE(pc.Open(served.server.LinkPath()));
    EXPECT_EQ(HexBytes(pc.Read(1, 2000)), "55");
}

TEST(PtyServer, WhatThePcLeftUnreadIsGoneWhenItReopens)
{
    Served served({});
    ASSERT_TRUE(served.started);
    PtyPc pc;
    ASSERT_TRUE(pc.Open(served.server.LinkPath()));
    ASSERT_TRUE(pc.Write(Bytes("56")));
    EXPECT_TRUE(WaitFor([&] { return served.With([](auto& m) { return m.Record().requests.size() == 1; }); }, 1000));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    pc.Close();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));

    ASSERT_TRUE(pc.Open(served.server.LinkPath()));
    EXPECT_EQ(HexBytes(pc.Read(1, 300)), "");
    ASSERT_TRUE(pc.Write(Bytes("05")));
    EXPECT_EQ(HexBytes(pc.Read(2, 1000)), "05 06");
}

TEST(PtyServer, UpdateModeTakesTheWholeImage)
{
    sim::ScannerConfig config;
    config.mode = sim::ScannerMode::Update;
    Served served(config);
    ASSERT_TRUE(served.started);

    std::vector<std::uint8_t> image(1001);
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(i ^ (i >> 8));
    }
    PtyPc pc;
    ASSERT_TRUE(pc.Open(served.server.LinkPath()));
    EXPECT_EQ(HexBytes(pc.Read(1, 2000)), "55");
    ASSERT_TRUE(pc.Write(Bytes("66 02 01 F4 03 F8")));  // 500 words
    for (std::size_t at = 0; at < image.size(); at += 100) {
        const auto end = std::min(image.size(), at + 100);
        ASSERT_TRUE(pc.Write({image.begin() + static_cast<std::ptrdiff_t>(at),
                              image.begin() + static_cast<std::ptrdiff_t>(end)}));
        pc.Read(end - at, 200);  // the cable's echo
    }
    EXPECT_TRUE(WaitFor([&] { return served.With([](auto& m) { return m.Record().imageBytes == 1001; }); }, 3000));
    pc.Close();

    served.With([&](sim::ScannerModel& m) {
        EXPECT_TRUE(m.Record().headerGood);
        EXPECT_EQ(m.Record().headerWords, 500u);
        EXPECT_EQ(m.FirstDifference(image), std::nullopt);
        return 0;
    });
}

TEST(PtyServer, HangingUpTakesTheDeviceAwayAndItsLink)
{
    sim::ScannerConfig config;
    config.faults.hangupAfter = 2;
    Served served(config);
    ASSERT_TRUE(served.started);
    const std::string link = served.server.LinkPath();

    PtyPc pc;
    ASSERT_TRUE(pc.Open(link));
    ASSERT_TRUE(pc.Write(Bytes("05 05 05")));
    pc.Read(100, 2000);
    EXPECT_TRUE(pc.HungUp());
    served.thread.join();
    EXPECT_EQ(served.reason, PtyServer::StopReason::HungUp);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

}  // namespace
