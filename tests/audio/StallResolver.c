/* A name lookup that hangs, for tests, loaded with LD_PRELOAD: getaddrinfo
 * for "stall.quorane.test" waits (up to a minute) while the test has switched
 * stalling on with quorane_resolver_stall(1), and then resolves the name to
 * 127.0.0.1. Every other name goes to the C library's own getaddrinfo. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <netdb.h>
#include <stdatomic.h>
#include <string.h>
#include <unistd.h>

static atomic_int stalling;

void quorane_resolver_stall(int on) {
    atomic_store(&stalling, on);
}

typedef int LookupFn(const char *, const char *, const struct addrinfo *, struct addrinfo **);

int getaddrinfo(const char *node, const char *service, const struct addrinfo *hints,
                struct addrinfo **res) {
    LookupFn *real = (LookupFn *)dlsym(RTLD_NEXT, "getaddrinfo");
    if (node && strcmp(node, "stall.quorane.test") == 0) {
        for (int i = 0; i < 600 && atomic_load(&stalling); ++i)
            usleep(100000);
        node = "127.0.0.1";
    }
    return real(node, service, hints, res);
}
