#pragma once
// The process's libcurl state: the one global initialisation, the share
// through which every transfer reuses TLS sessions and DNS answers, and one
// multi handle per thread whose connection cache lets the thread's next
// transfer reuse a connection (libcurl does not support one connection cache
// used by concurrent threads).
//
// Thread: any thread. The share lives until the process ends; transfers that
// still run at exit never see it freed.
#include <curl/curl.h>

namespace hexora::Http::CurlSession {

/// Initialises libcurl once (thread-safe) and returns the shared cache.
CURLSH* share();

/// The calling thread's multi handle (made on first use, freed when the thread ends).
CURLM* threadMulti();

}  // namespace hexora::Http::CurlSession
