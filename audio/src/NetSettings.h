// The connection settings every request of a stream shares (the station URL,
// an HLS playlist, each of its segments): proxy, connect limit and TLS trust,
// applied to a libcurl handle in one place so that no request path forgets
// one of them.
#pragma once

#include "ProxySetting.h"

#include <cstdint>
#include <string>

namespace quorane::engine {

// Copied from the engine's settings when a stream is opened; fixed after.
struct NetSettings {
    ProxySetting proxy;
    uint32_t timeoutMs = 0; // connect limit
    // A PEM file of further certificate authorities (BASS_CONFIG_NET_CAFILE);
    // empty: the system's store alone.
    std::string caFile;

    // Sets protocols, redirects, user agent, connect limit, proxy and
    // certificate checks on a curl easy handle.
    void apply(void *easy) const;
};

// The BASS error code for a curl result code.
int errorForCurl(int curlCode);

} // namespace quorane::engine
