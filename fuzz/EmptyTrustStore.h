// Fuzzers of the signature checks trust no one: no system roots are read,
// nothing is trusted, and no store is parsed per input.
#pragma once

#include <cstdlib>

inline int UseEmptyTrustStore()
{
    ::setenv("SSL_CERT_FILE", "/nonexistent/qz-fuzz-roots.pem", 1);
    ::unsetenv("SSL_CERT_DIR");
    return 0;
}
