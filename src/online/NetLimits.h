#pragma once
// How long Quorane waits for the list server. Every list-server request runs
// on the UI thread and blocks the windows while it runs, so each wait has an
// end: a server that is slow to accept, stops answering or drips its answer
// byte by byte costs the user at most these times, then a clear error.
namespace NetLimits {
// Connecting (after the name lookup) to the server's port.
constexpr int ConnectTimeoutMs = 10000;
// Waiting for the next bytes of an answer (or for a request to be taken).
constexpr int ReadTimeoutMs = 15000;
// A whole request, from connecting to the last byte of the answer.
constexpr int RequestTimeoutMs = 60000;
// The longest status or header line, the most header bytes, and the largest
// body Quorane accepts; a station list of a million lines fits easily.
constexpr int MaxLineBytes = 16 * 1024;
constexpr int MaxHeaderBytes = 256 * 1024;
constexpr long long MaxBodyBytes = 256LL * 1024 * 1024;
} // namespace NetLimits
