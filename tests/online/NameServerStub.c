/* The name lookups a test cannot get from a real name server on demand,
 * linked into the online tests in front of the C library's getaddrinfo:
 *   again.quorane.test     the lookup cannot be made now (EAI_AGAIN: no
 *                          network, no answer from the name server)
 *   refused.quorane.test   the name server refused (EAI_FAIL)
 *   noaddress.quorane.test the name exists without an address (EAI_NODATA)
 *   ipv6only.quorane.test  only ::1 (asked for IPv4 alone: EAI_NODATA)
 *   dual.quorane.test      ::1 first, then 127.0.0.1
 *   stall.quorane.test     answers "no such name" after 6 s
 * Every other name goes to the C library's own getaddrinfo, so nothing else
 * in the test program notices. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <netdb.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

typedef int LookupFn(const char *, const char *, const struct addrinfo *, struct addrinfo **);

static int is(const char *node, const char *name) {
    return node && strcmp(node, name) == 0;
}

int getaddrinfo(const char *node, const char *service, const struct addrinfo *hints,
                struct addrinfo **res) {
    LookupFn *real = (LookupFn *)dlsym(RTLD_NEXT, "getaddrinfo");
    const int family = hints ? hints->ai_family : AF_UNSPEC;
    /* A request for numeric addresses only never asks a name server. */
    if (hints && (hints->ai_flags & AI_NUMERICHOST))
        return real(node, service, hints, res);
    if (is(node, "again.quorane.test"))
        return EAI_AGAIN;
    if (is(node, "refused.quorane.test"))
        return EAI_FAIL;
    if (is(node, "noaddress.quorane.test"))
        return EAI_NODATA;
    if (is(node, "stall.quorane.test")) {
        sleep(6);
        return EAI_NONAME;
    }
    if (is(node, "ipv6only.quorane.test")) {
        if (family == AF_INET)
            return EAI_NODATA;
        return real("::1", service, hints, res);
    }
    if (is(node, "dual.quorane.test")) {
        struct addrinfo *v6 = NULL, *v4 = NULL;
        int status = family == AF_INET ? EAI_NODATA : real("::1", service, hints, &v6);
        if (family != AF_INET6 && real("127.0.0.1", service, hints, &v4) == 0) {
            /* glibc frees a list node by node, so two lists can be joined. */
            if (status == 0) {
                struct addrinfo *last = v6;
                while (last->ai_next)
                    last = last->ai_next;
                last->ai_next = v4;
            } else {
                v6 = v4;
                status = 0;
            }
        }
        *res = v6;
        return status;
    }
    return real(node, service, hints, res);
}
