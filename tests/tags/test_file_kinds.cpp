// The tag readers refuse FIFOs and devices at once instead of waiting on them.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "tags/Tagwright.h"
#include "tests/support/temp_dir.h"

using namespace tags;

TEST(FileKinds, FifoAndDeviceAreRefusedWithoutBlocking) {
    testutil::TempDir dir;
    const auto fifo = dir / "pipe.mp3";
    ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0600));
    // Each reader's own entry point: each once waited for a writer for ever.
    const auto probe = [fifo] {
        TID3v1Tag v1;
        TID3v2Tag v2;
        TMpegInfo mpeg;
        std::error_code ec;
        TFileStream::Open(fifo, fmOpenRead, &ec);
        std::error_code readAhead;
        ReadAheadStream{fifo, readAhead};
        return std::vector<int>{v1.ReadFromFile(fifo), v2.ReadFromFile(fifo), v2.WriteToFile(fifo),
                                mpeg.LoadFromFile(fifo), ec.message() == "Not a regular file",
                                readAhead.message() == "Not a regular file", !MeasureMpeg(fifo)};
    };
    // A hang guard, not a timing check; on a failure the thread is left behind so the test ends.
    auto promise = std::make_shared<std::promise<std::vector<int>>>();
    auto pending = promise->get_future();
    std::thread([promise, probe] { promise->set_value(probe()); }).detach();
    ASSERT_EQ(std::future_status::ready, pending.wait_for(std::chrono::seconds(20))) << "a FIFO blocked";
    EXPECT_EQ((std::vector<int>{MP3ERR_FOpenR, MP3ERR_FOpenR, MP3ERR_FOpenRW, MP3ERR_FOpenR, true, true, true}),
              pending.get());

    TID3v2Tag device;
    EXPECT_EQ(MP3ERR_FOpenR, device.ReadFromFile("/dev/zero"));
}
