// The list-server client's answer reading on any bytes a server could send:
// status line, headers, chunked or counted or closing body. Each input is
// one answer through a real socket on 127.0.0.1; a bad answer must end in
// the client's error with a message, never in a crash or a hang, and an
// answer taken as good is a 2xx whose body came in the bytes sent.
#include "AnswerServer.h"
#include "online/NetLimits.h"
#include "online/TIdHTTP.h"
#include "platform/QuoraneError.h"

#include <QCoreApplication>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {
quorane::fuzz::AnswerServer *Server() {
    static auto *server = new quorane::fuzz::AnswerServer;
    return server;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
    static QCoreApplication app(*argc, *argv);
    Server();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Server()->Serve(std::string(reinterpret_cast<const char *>(data), size));
    const QString url = QStringLiteral("http://127.0.0.1:%1/update.php").arg(Server()->Port());
    TIdHTTP http;
    // The server closes after every answer; short waits keep a reader that
    // waits for bytes that never come from slowing the run down.
    http.ReadTimeoutMs = 2000;
    http.RequestTimeoutMs = 4000;
    try {
        const QByteArray body = http.GetBytes(url, NetLimits::MaxStationListBytes);
        if (http.ResponseCode() < 200 || http.ResponseCode() > 299 || body.size() > qsizetype(size))
            std::abort();
    } catch (const QuoraneError &e) {
        if (e.message().isEmpty())
            std::abort();
    }
    return 0;
}
