// The WinINet code a Windows build would report for a libcurl failure.
#include "wininet_curl_errors.h"

#include "wininet_socket.h"

#include <curl/curl.h>

namespace quorvel::wininet::detail {

DWORD mapCurlError(int curlCode, long osError, const TlsPolicy& tls) {
  switch (static_cast<CURLcode>(curlCode)) {
  case CURLE_OK:
    return ERROR_SUCCESS;
  case CURLE_URL_MALFORMAT:
    return ERROR_INTERNET_INVALID_URL;
  case CURLE_COULDNT_RESOLVE_PROXY:
  case CURLE_COULDNT_RESOLVE_HOST:
    return ERROR_INTERNET_NAME_NOT_RESOLVED;
  case CURLE_COULDNT_CONNECT:
    return ERROR_INTERNET_CANNOT_CONNECT;
  case CURLE_OPERATION_TIMEDOUT:
    return ERROR_INTERNET_TIMEOUT;
  case CURLE_PARTIAL_FILE:
    return ERROR_INTERNET_CONNECTION_ABORTED;
  case CURLE_SEND_ERROR:
  case CURLE_RECV_ERROR:
    return isResetError(osError) ? ERROR_INTERNET_CONNECTION_RESET
                                 : ERROR_INTERNET_CONNECTION_ABORTED;
  case CURLE_UNSUPPORTED_PROTOCOL: // the URL is ours; this is an HTTP/0.9 answer
  case CURLE_WEIRD_SERVER_REPLY:
  case CURLE_GOT_NOTHING:
  case CURLE_HTTP2:
  case CURLE_HTTP2_STREAM:
  case CURLE_BAD_CONTENT_ENCODING:
    return ERROR_HTTP_INVALID_SERVER_RESPONSE;
  case CURLE_TOO_MANY_REDIRECTS:
    return ERROR_HTTP_REDIRECT_FAILED;
  case CURLE_PEER_FAILED_VERIFICATION:
    return certificateError(tls.verifyError);
  case CURLE_SSL_CONNECT_ERROR:
    if (tls.clientCertWanted) return ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED;
    if (tls.verifyError) return certificateError(tls.verifyError);
    return ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
  case CURLE_SSL_ENGINE_NOTFOUND:
  case CURLE_SSL_ENGINE_SETFAILED:
  case CURLE_SSL_CERTPROBLEM:
  case CURLE_SSL_CIPHER:
  case CURLE_SSL_CACERT_BADFILE:
  case CURLE_SSL_SHUTDOWN_FAILED:
  case CURLE_SSL_CRL_BADFILE:
  case CURLE_SSL_ISSUER_ERROR:
    return ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
  case CURLE_LOGIN_DENIED:
  case CURLE_AUTH_ERROR:
    return ERROR_INTERNET_LOGIN_FAILURE;
  case CURLE_ABORTED_BY_CALLBACK:
    return ERROR_INTERNET_OPERATION_CANCELLED;
  case CURLE_OUT_OF_MEMORY:
    return ERROR_NOT_ENOUGH_MEMORY;
  default:
    return ERROR_INTERNET_INTERNAL_ERROR;
  }
}

} // namespace quorvel::wininet::detail
