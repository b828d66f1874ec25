// HTTPS stations: a TLS front of ours with certificates of a test authority,
// in front of the fixture ICY server, all on 127.0.0.1. The authority reaches
// the engine through its test-only CA setting.
#include "EngineTestSupport.h"
#include "TinyProxy.h"
#include "TlsFront.h"

#include <gtest/gtest.h>

using namespace quorane::test;
using namespace std::chrono_literals;

namespace {

DWORD open(const std::string &url) {
    return BASS_StreamCreateURL(url.c_str(), 0, 0, nullptr, nullptr);
}

class Https : public ::testing::Test {
protected:
    void SetUp() override {
        StreamMount m = radioMount("tone440.mp3", "audio/mpeg", false);
        m.metaint = 8192;
        m.titles = {"Secure Artist - Secure Song"};
        server.addStream("/live", m);
        ASSERT_TRUE(engine.ok());
        ASSERT_TRUE(BASS_SetConfigPtr(BASS_CONFIG_NET_CAFILE, testCertificate("ca.pem").c_str()));
    }
    void TearDown() override {
        BASS_SetConfigPtr(BASS_CONFIG_NET_CAFILE, nullptr);
        BASS_SetConfigPtr(BASS_CONFIG_NET_PROXY, "");
    }
    TlsFront front(const std::string &cert) {
        return TlsFront(server.port(), testCertificate(cert + ".pem"),
                        testCertificate(cert + ".key"));
    }
    // Opens the stream, plays it and waits for its title and its first
    // decoded bytes; the checks of a station that works.
    void expectPlays(const std::string &url) {
        DWORD ch = open(url);
        ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
        MetaRecorder meta;
        meta.attach(ch);
        ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
        std::vector<std::string> lines = tagLines(BASS_ChannelGetTags(ch, BASS_TAG_HTTP));
        EXPECT_NE(std::find(lines.begin(), lines.end(), "icy-name:Quorane Test FM"), lines.end());
        QWORD start = BASS_StreamGetFilePosition(ch, BASS_FILEPOS_CURRENT);
        EXPECT_TRUE(waitUntil(
            [&] { return BASS_StreamGetFilePosition(ch, BASS_FILEPOS_CURRENT) > start + 16000; },
            10s));
        EXPECT_TRUE(waitUntil(
            [&] {
                const char *block = BASS_ChannelGetTags(ch, BASS_TAG_META);
                return block && titleOf(block) == "Secure Artist - Secure Song";
            },
            10s));
        EXPECT_EQ(BASS_ChannelIsActive(ch), (DWORD)BASS_ACTIVE_PLAYING);
        BASS_StreamFree(ch);
    }
    IcyServer server;
    EngineSession engine;
};

TEST_F(Https, StationWithATrustedCertificatePlaysWithItsTitles) {
    TlsFront tls = front("good");
    expectPlays(tls.url("/live"));
    EXPECT_EQ(tls.handshakes(), 1);
    // The same server by name: the certificate names localhost as well.
    std::string byName = tls.url("/live");
    byName.replace(byName.find("127.0.0.1"), 9, "localhost");
    expectPlays(byName);
}

TEST_F(Https, BadCertificatesAreRefusedWithTheirOwnCode) {
    for (const char *cert : {"wronghost", "expired", "selfsigned"}) {
        TlsFront tls = front(cert);
        EXPECT_EQ(open(tls.url("/live")), 0u) << cert;
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_TLS) << cert;
    }
    // No request was sent over a connection that failed its check.
    EXPECT_EQ(server.connections("/live"), 0);

    // Without the test authority even the good certificate is unknown: the
    // check is the system's store, not "anything goes".
    TlsFront tls = front("good");
    BASS_SetConfigPtr(BASS_CONFIG_NET_CAFILE, "");
    EXPECT_EQ(BASS_GetConfigPtr(BASS_CONFIG_NET_CAFILE), nullptr);
    EXPECT_EQ(open(tls.url("/live")), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_TLS);
}

TEST_F(Https, PlaysThroughAProxyByConnect) {
    if (!TinyProxy::installed())
        GTEST_SKIP() << "tinyproxy is not installed";
    TlsFront tls = front("good");
    TinyProxy proxy;
    ASSERT_TRUE(proxy.ready());
    std::string setting = "127.0.0.1:" + std::to_string(proxy.port());
    ASSERT_TRUE(BASS_SetConfigPtr(BASS_CONFIG_NET_PROXY, setting.c_str()));
    expectPlays(tls.url("/live"));
    EXPECT_NE(proxy.log().find("CONNECT 127.0.0.1:" + std::to_string(tls.port())),
              std::string::npos)
        << proxy.log();
    // Through the proxy the certificate is still checked end to end.
    TlsFront bad = front("wronghost");
    EXPECT_EQ(open(bad.url("/live")), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_TLS);
}

} // namespace
