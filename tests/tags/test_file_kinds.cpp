// The tag readers refuse FIFOs, devices and folders at once instead of waiting on them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <future>
#include <memory>
#include <thread>

#include "platform/regular_file.h"
#include "tags/Tagwright.h"
#include "tests/support/temp_dir.h"

using namespace tags;
namespace fs = std::filesystem;

TEST(FileKinds, FifoDeviceAndFolderAreRefusedWithoutBlocking) {
    testutil::TempDir dir;
    const fs::path fifo = dir / "pipe.mp3";
    ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0600));

    struct Outcome {
        TMP3Error v1Read, v1Write, v2Read, v2Write, v2Remove, mpeg;
        std::string openError;
        bool memoryLoadThrew;
    };
    const auto probe = [](const fs::path& path) {
        Outcome o{};
        TID3v1Tag v1;
        TID3v2Tag v2;
        TMpegInfo mpeg;
        o.v1Read = v1.ReadFromFile(path);
        o.v1Write = v1.WriteToFile(path);
        o.v2Read = v2.ReadFromFile(path);
        v2.SetTitle(u"x");
        o.v2Write = v2.WriteToFile(path);
        o.v2Remove = v2.RemoveFromFile(path);
        o.mpeg = mpeg.LoadFromFile(path);
        try {
            TFileStream s(path, fmOpenRead);
        } catch (const EFOpenError& e) {
            o.openError = e.what();
        }
        TMemoryStream m;
        o.memoryLoadThrew = false;
        try {
            m.LoadFromFile(path);
        } catch (const EFOpenError&) {
            o.memoryLoadThrew = true;
        }
        return o;
    };

    // A hang guard, not a timing check: the old calls waited for a writer for ever. The thread
    // is left behind on a failure so that the test still ends.
    auto promise = std::make_shared<std::promise<Outcome>>();
    auto pending = promise->get_future();
    std::thread([promise, probe, fifo] { promise->set_value(probe(fifo)); }).detach();
    ASSERT_EQ(std::future_status::ready, pending.wait_for(std::chrono::seconds(20))) << "reading a FIFO blocked";
    const Outcome o = pending.get();
    EXPECT_EQ(MP3ERR_FOpenR, o.v1Read);
    EXPECT_EQ(MP3ERR_FOpenRW, o.v1Write);
    EXPECT_EQ(MP3ERR_FOpenR, o.v2Read);
    EXPECT_EQ(MP3ERR_FOpenRW, o.v2Write);
    EXPECT_EQ(MP3ERR_FOpenRW, o.v2Remove);
    EXPECT_EQ(MP3ERR_FOpenR, o.mpeg);
    EXPECT_EQ("Cannot open file \"" + fifo.string() + "\". Not a regular file", o.openError);
    EXPECT_TRUE(o.memoryLoadThrew);

    // A device and a folder say so too.
    std::error_code ec;
    EXPECT_EQ(nullptr, TFileStream::Open("/dev/null", fmOpenRead, &ec));
    EXPECT_EQ(platform::NotARegularFile(), ec);
    EXPECT_EQ(nullptr, TFileStream::Open(dir.path(), fmOpenRead, &ec));
    EXPECT_EQ(std::errc::is_a_directory, ec);

    // A regular file still opens, and its descriptor blocks as usual.
    const fs::path plain = dir / "plain.mp3";
    { std::ofstream(plain) << "x"; }
    const int fd = platform::OpenRegularFile(plain, O_RDONLY, ec);
    ASSERT_GE(fd, 0) << ec.message();
    EXPECT_EQ(0, ::fcntl(fd, F_GETFL) & O_NONBLOCK);
    ::close(fd);
}
