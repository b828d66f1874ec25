#include "NetSettings.h"

#include "EngineLimits.h"

#include "bass.h"

#include <curl/curl.h>

namespace quorane::engine {

void NetSettings::apply(void *handle) const {
    CURL *easy = handle;
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, "Quorane/1.02");
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeoutMs));
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    // Without this, freeing a transfer whose name lookup hangs waits for the
    // lookup to end; with it libcurl leaves the lookup thread to finish alone.
    curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
    // An empty proxy also keeps curl from picking one up from the environment:
    // Quorane's own proxy setting is the only one that applies. An https
    // station goes through it by CONNECT, end to end encrypted.
    std::string address = proxy.enabled() ? "http://" + proxy.hostPort : "";
    curl_easy_setopt(easy, CURLOPT_PROXY, address.c_str());
    if (!proxy.userPwd.empty())
        curl_easy_setopt(easy, CURLOPT_PROXYUSERPWD, proxy.userPwd.c_str());
    curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    // Certificates are always checked, host name included; a station with a
    // bad certificate does not play.
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    // The extra file is read besides the system's folder of authorities
    // (libcurl's default CA path stays in force).
    if (!caFile.empty())
        curl_easy_setopt(easy, CURLOPT_CAINFO, caFile.c_str());
}

int errorForCurl(int code) {
    switch (code) {
    case CURLE_OK:
        return BASS_OK;
    case CURLE_URL_MALFORMAT:
        return BASS_ERROR_FILEFORM;
    // Also what curl says of an answer that is no HTTP at all, or of a
    // redirect to a scheme other than http(s): the URL cannot be opened.
    case CURLE_UNSUPPORTED_PROTOCOL:
        return BASS_ERROR_FILEOPEN;
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
        return BASS_ERROR_NONET;
    case CURLE_OPERATION_TIMEDOUT:
        return BASS_ERROR_TIMEOUT;
    case CURLE_OUT_OF_MEMORY:
        return BASS_ERROR_MEM;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
        return BASS_ERROR_TLS;
    default:
        return BASS_ERROR_FILEOPEN;
    }
}

} // namespace quorane::engine
