// Suppressions that ThreadSanitizer reads at start, compiled into every test
// executable of a HEXORA_TSAN build.
//
// The libraries below are not built with ThreadSanitizer. They hand data
// between threads with atomics the sanitizer cannot see (libcrypto frees TLS
// session data after dropping reference counts; the server library passes
// connections to its workers), so what they do inside looks like races.
// Reports raised from inside them are not about our code, which stays fully
// checked.
//
// glibc keeps its time-zone state under a lock of its own, which the
// sanitizer does not see either; with TZ unset every mktime() or localtime()
// rewrites that state. libzip converts DOS times with mktime() on the
// extracting threads while ICU and the logs read the local time on others.
extern "C" const char* __tsan_default_suppressions();

extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libcrypto.so.3\n"
           "called_from_lib:libssl.so.3\n"
           "called_from_lib:libcpp-httplib.so.0.11\n"
           "called_from_lib:libcurl.so.4\n"
           "race:tzset_internal\n";
}
