#pragma once
// How long Quorane waits for the list server, and how much of its answers it
// takes in. Every list-server request runs on the UI thread and blocks the
// windows while it runs, so each wait has an end: a server that is slow to
// accept, stops answering or drips its answer byte by byte costs the user at
// most these times, then a clear error.
namespace NetLimits {
// Connecting (after the name lookup) to the server's port.
constexpr int ConnectTimeoutMs = 10000;
// Waiting for the next bytes of an answer (or for a request to be taken).
constexpr int ReadTimeoutMs = 15000;
// A whole request, from connecting to the last byte of the answer.
constexpr int RequestTimeoutMs = 60000;
// The longest status or header line and the most header bytes Quorane
// accepts.
constexpr int MaxLineBytes = 16 * 1024;
constexpr int MaxHeaderBytes = 256 * 1024;
// The largest body taken in, one bound per kind of answer, so that a server
// cannot fill the memory with what should be a few bytes: the version file
// holds a version number; a station list of half a million lines fits; the
// answer to a submission is only a receipt.
constexpr long long MaxVersionBytes = 4 * 1024;
constexpr long long MaxStationListBytes = 64LL * 1024 * 1024;
constexpr long long MaxReceiptBytes = 64 * 1024;
} // namespace NetLimits
