/* A name lookup that hangs, for tests, loaded with LD_PRELOAD: getaddrinfo
 * for "stall.quorane.test" waits while the test has stalling switched on
 * (quorane_resolver_stall(1)), and then resolves the name to 127.0.0.1.
 * Every other name goes to the C library's own getaddrinfo.
 *
 * A lookup still waiting when the process ends answers then, as a real one
 * that answers late does, and the end waits (at most 10 s) until the thread
 * that made it has finished: a program that unmapped the code the lookup
 * returns into crashes there instead of ending. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <netdb.h>
#include <pthread.h>
#include <string.h>
#include <time.h>

static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
static pthread_cond_t changed = PTHREAD_COND_INITIALIZER;
/* All three guarded by lock. */
static int stalling;
static int waiting;                 /* lookups waiting now */
static int unended;                 /* threads that waited here and have not ended yet */
static pthread_key_t stalledThread; /* set on such a thread; its end counts it out */

static void deadlineIn(struct timespec *t, int seconds) {
    clock_gettime(CLOCK_REALTIME, t);
    t->tv_sec += seconds;
}

static void threadEnded(void *unused) {
    (void)unused;
    pthread_mutex_lock(&lock);
    --unended;
    pthread_cond_broadcast(&changed);
    pthread_mutex_unlock(&lock);
}

__attribute__((constructor)) static void start(void) {
    pthread_key_create(&stalledThread, threadEnded);
}

__attribute__((destructor)) static void answerAtTheEnd(void) {
    struct timespec until;
    deadlineIn(&until, 10);
    pthread_mutex_lock(&lock);
    stalling = 0;
    pthread_cond_broadcast(&changed);
    while (unended > 0)
        if (pthread_cond_timedwait(&changed, &lock, &until) == ETIMEDOUT)
            break;
    pthread_mutex_unlock(&lock);
}

void quorane_resolver_stall(int on) {
    pthread_mutex_lock(&lock);
    stalling = on;
    pthread_cond_broadcast(&changed);
    pthread_mutex_unlock(&lock);
}

/* How many lookups are waiting now. */
int quorane_resolver_waiting(void) {
    pthread_mutex_lock(&lock);
    int n = waiting;
    pthread_mutex_unlock(&lock);
    return n;
}

typedef int LookupFn(const char *, const char *, const struct addrinfo *, struct addrinfo **);

int getaddrinfo(const char *node, const char *service, const struct addrinfo *hints,
                struct addrinfo **res) {
    LookupFn *real = (LookupFn *)dlsym(RTLD_NEXT, "getaddrinfo");
    if (node && strcmp(node, "stall.quorane.test") == 0) {
        /* A bound of its own, so that a test gone wrong cannot hang for ever. */
        struct timespec until;
        deadlineIn(&until, 120);
        pthread_mutex_lock(&lock);
        if (stalling) {
            if (!pthread_getspecific(stalledThread)) {
                pthread_setspecific(stalledThread, &stalledThread);
                ++unended;
            }
            ++waiting;
            while (stalling)
                if (pthread_cond_timedwait(&changed, &lock, &until) == ETIMEDOUT)
                    break;
            --waiting;
        }
        pthread_mutex_unlock(&lock);
        node = "127.0.0.1";
    }
    return real(node, service, hints, res);
}
