/*
 * Test-only preload library for wine processes that use pseudo-terminals as COM ports.
 *
 * Linux pseudo-terminals have no modem lines and no line-error counters: they refuse TIOCMGET,
 * TIOCMSET, TIOCMBIS, TIOCMBIC and TIOCGICOUNT, and wine's line-event wait gives up on such a port.
 * This library answers those requests for pseudo-terminals the way a port with a quiet line would:
 * DTR and RTS follow what was set, CTS, DSR and carrier are on, the error counters stay 0. Any other
 * failure (EIO of a pseudo-terminal whose other end has gone, above all) is passed on unchanged, and
 * devices that answer for themselves are never touched.
 *
 * Built in the test tree only; it is never part of a shipped program.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <linux/serial.h>
#include <stdarg.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#define MAX_FDS 4096
#define QUIET_LINES (TIOCM_DTR | TIOCM_RTS | TIOCM_CTS | TIOCM_DSR | TIOCM_CAR)

static int lines[MAX_FDS]; /* modem lines per descriptor; 0: not looked at yet */

typedef int (*ioctl_fn)(int, unsigned long, ...);

/* Unix 98 pseudo-terminal slaves have majors 136 to 143. */
static int is_pty(int fd) {
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return 0;
    return major(st.st_rdev) >= 136 && major(st.st_rdev) <= 143;
}

static int answer(int fd, unsigned long request, void *arg) {
    int *state = fd >= 0 && fd < MAX_FDS ? &lines[fd] : NULL;
    if (state == NULL) return -2;
    if (*state == 0) *state = QUIET_LINES;
    switch (request) {
        case TIOCMGET:
            *(int *)arg = *state;
            return 0;
        case TIOCMSET:
            *state = (*(int *)arg & (TIOCM_DTR | TIOCM_RTS)) | (QUIET_LINES & ~(TIOCM_DTR | TIOCM_RTS));
            return 0;
        case TIOCMBIS:
            *state |= *(int *)arg & (TIOCM_DTR | TIOCM_RTS);
            return 0;
        case TIOCMBIC:
            *state &= ~(*(int *)arg & (TIOCM_DTR | TIOCM_RTS));
            return 0;
        case TIOCGICOUNT:
            memset(arg, 0, sizeof(struct serial_icounter_struct));
            return 0;
        default:
            return -2;
    }
}

int ioctl(int fd, unsigned long request, ...) {
    static ioctl_fn real;
    va_list ap;
    void *arg;
    int result, saved;

    va_start(ap, request);
    arg = va_arg(ap, void *);
    va_end(ap);
    if (real == NULL) real = (ioctl_fn)dlsym(RTLD_NEXT, "ioctl");

    result = real(fd, request, arg);
    if (result == 0 || arg == NULL) return result;
    saved = errno;
    if ((saved == ENOTTY || saved == EINVAL) && is_pty(fd)) {
        int answered = answer(fd, request, arg);
        if (answered != -2) return answered;
    }
    errno = saved;
    return result;
}
