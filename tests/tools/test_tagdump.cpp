// Runs the built tagdump on files written here and checks its JSON lines and exit status.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

using Bytes = std::string;

fs::path ToolPath() {
    return fs::read_symlink("/proc/self/exe").parent_path() / "tagdump";
}

struct ToolRun {
    int status = -1;
    std::string out;
};

ToolRun RunTool(const std::vector<fs::path>& files) {
    // `timeout` guards against a hang (a FIFO once blocked the tool); it is no timing check.
    std::string cmd = "timeout 60 '" + ToolPath().string() + "'";
    for (const auto& f : files) cmd += " '" + f.string() + "'";
    cmd += " 2>/dev/null";
    ToolRun r;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

std::string SyncSafe(uint32_t v) {
    std::string s;
    for (int i = 3; i >= 0; --i) s += char((v >> (7 * i)) & 0x7F);
    return s;
}

std::string Frame3(const std::string& id, const std::string& body) {
    std::string f = id;
    const uint32_t n = uint32_t(body.size());
    f += char(n >> 24);
    f += char(n >> 16);
    f += char(n >> 8);
    f += char(n);
    f += std::string(2, '\0');
    return f + body;
}

std::string Audio(int frames) {
    std::string b;
    for (int i = 0; i < frames; ++i) {
        b += "\xFF\xFB\x90\x64";
        b += std::string(413, char(0x11 * (i % 7)));
    }
    return b;
}

class TagDump : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(ToolPath())) << ToolPath();
        char pattern[] = "/tmp/qmm-tagdump-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        dir_ = pattern;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    fs::path Write(const std::string& name, const Bytes& bytes) {
        fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }
    fs::path dir_;
};

}  // namespace

TEST_F(TagDump, TaggedFileEscapedTextAndAllSections) {
    // Title with a quote, a backslash, a tab and an e-acute (Windows-1252 0xE9).
    std::string frames = Frame3("TIT2", std::string("\0Say \"hi\"\\\t caf\xE9", 16));
    frames += Frame3("TPE1", std::string("\x01\xFF\xFE" "A\0B\0", 7));
    frames += Frame3("TCON", std::string("\0(17)", 5));
    // Two values, the way version 2.4 separates them.
    frames += Frame3("TCOM", std::string("\x01\xFF\xFE" "A\0\0\0\xFF\xFE" "B\0", 11));
    frames += Frame3("APIC", std::string("\0image/png\0\3\0PNG", 15));
    const std::string tag = std::string("ID3\3\0\0", 6) + SyncSafe(uint32_t(frames.size() + 20)) + frames +
                            std::string(20, '\0');
    std::string trailer = "TAG" + std::string("V1 title") + std::string(22, ' ');
    trailer.resize(127, '\0');
    trailer += char(17);
    const fs::path file = Write("tagged.mp3", tag + Audio(10) + trailer);

    const ToolRun r = RunTool({file});
    EXPECT_EQ(0, r.status);
    ASSERT_EQ(1, std::count(r.out.begin(), r.out.end(), '\n')) << r.out;
    const std::string& j = r.out;
    EXPECT_NE(std::string::npos, j.find("{\"file\":\"" + file.string() + "\"")) << j;
    EXPECT_NE(std::string::npos, j.find("\"title\":\"Say \\\"hi\\\"\\\\\\t caf\xC3\xA9\"")) << j;
    EXPECT_NE(std::string::npos, j.find("\"artist\":\"AB\"")) << j;
    EXPECT_NE(std::string::npos, j.find("\"genre\":\"Rock\"")) << j;
    EXPECT_NE(std::string::npos, j.find("\"major\":3,\"minor\":0,\"size\":" + std::to_string(tag.size()))) << j;
    EXPECT_NE(std::string::npos, j.find("\"padding\":20,\"use_padding\":true")) << j;
    EXPECT_NE(std::string::npos,
              j.find("{\"id\":\"TCON\",\"type\":\"FT_TextFrame\",\"description\":\"Content type\",\"size\":5,"
                     "\"parsable\":true,\"text\":\"(17)\"}"))
        << j;
    EXPECT_NE(std::string::npos, j.find("\"id\":\"TCOM\"")) << j;
    EXPECT_NE(std::string::npos, j.find("\"size\":11,\"parsable\":true,\"text\":\"A / B\"}")) << j;
    EXPECT_NE(std::string::npos, j.find("{\"id\":\"APIC\",\"type\":\"FT_PictureFrame\",\"description\":\"Attached "
                                        "picture\",\"size\":15,\"parsable\":true,\"text\":null}"))
        << j;
    EXPECT_NE(std::string::npos, j.find("\"id3v1\":{\"result\":0,\"exists\":true,\"version\":0,\"title\":\"V1 title\""))
        << j;
    EXPECT_NE(std::string::npos, j.find("\"genre\":\"Rock\"}")) << j;
    EXPECT_NE(std::string::npos,
              j.find("\"mpeg\":{\"result\":0,\"valid\":true,\"first_header\":" + std::to_string(tag.size()) +
                     ",\"version\":1,\"layer\":3,\"bitrate\":128,\"samplerate\":44100,\"channelmode\":1"))
        << j;
    // Whole-line shape: one object, balanced.
    EXPECT_EQ('{', j.front());
    EXPECT_EQ("}\n", j.substr(j.size() - 2));
}

TEST_F(TagDump, UntaggedMissingAndDirectory) {
    const fs::path plain = Write("plain.mp3", Audio(3));
    const fs::path empty = Write("empty.mp3", "");
    ToolRun r = RunTool({plain, empty});
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(2, std::count(r.out.begin(), r.out.end(), '\n')) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("\"id3v2\":{\"result\":9,\"exists\":false")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("\"id3v1\":{\"result\":9,\"exists\":false")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("\"first_header\":0,")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("\"year\":\"\\u0000\\u0000\\u0000\\u0000\"")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("\"mpeg\":{\"result\":13,\"valid\":false,\"first_header\":-1")) << r.out;

    r = RunTool({dir_ / "missing.mp3", plain, dir_});
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(3, std::count(r.out.begin(), r.out.end(), '\n')) << r.out;
    EXPECT_EQ(0u, r.out.find("{\"file\":\"" + (dir_ / "missing.mp3").string() + "\",\"error\":\"")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("{\"file\":\"" + dir_.string() + "\",\"error\":\"")) << r.out;

    // A FIFO is refused at once; the files after it are still read.
    const fs::path fifo = dir_ / "pipe.mp3";
    ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0600));
    r = RunTool({fifo, plain});
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(0u, r.out.find("{\"file\":\"" + fifo.string() + "\",\"error\":\"Not a regular file\"}\n")) << r.out;
    EXPECT_EQ(2, std::count(r.out.begin(), r.out.end(), '\n')) << r.out;
}
