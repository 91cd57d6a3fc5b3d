/* Preloaded into the program under measurement (LD_PRELOAD): at its first glXSwapBuffers (X11)
   or eglSwapBuffers (Wayland, where Qt draws through EGL) (or its Nth, N from
   $QUELM_FIRST_FRAME_SWAPS: a show on N monitors presents its first frame on each), once the call has handed the frame
   to the server, writes to the file $QUELM_FIRST_FRAME_OUT the seconds since the process
   started and the processor seconds it has used by then (all its threads). The start is the
   kernel's (/proc/self/stat, field 22), so the time includes loading the program and its
   libraries. */
#define _GNU_SOURCE
#include <EGL/egl.h>
#include <GL/glx.h>
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

enum { kStartTimeField = 22, kStatBytes = 2048 };

static double ProcessStart(void) {
    char stat[kStatBytes];
    FILE* f = fopen("/proc/self/stat", "r");
    if (!f) return 0;
    const size_t n = fread(stat, 1, sizeof stat - 1, f);
    fclose(f);
    stat[n] = 0;
    const char* p = strrchr(stat, ')'); /* the command name may hold blanks */
    for (int field = 2; p && *p; ++p)
        if (*p == ' ' && ++field == kStartTimeField) return (double)strtoull(p + 1, NULL, 10) / sysconf(_SC_CLK_TCK);
    return 0;
}

/* Writes the times once, at the first frame of either kind. */
static void NoteFirstFrame(void) {
    static int seen;
    const char* swaps = getenv("QUELM_FIRST_FRAME_SWAPS");
    if (++seen != (swaps ? atoi(swaps) : 1)) return;
    struct timespec now;
    clock_gettime(CLOCK_BOOTTIME, &now); /* the clock of the process start times */
    const char* out = getenv("QUELM_FIRST_FRAME_OUT");
    FILE* f = out ? fopen(out, "w") : NULL;
    if (!f) return;
    struct rusage used;
    getrusage(RUSAGE_SELF, &used);
    const double cpu =
        used.ru_utime.tv_sec + used.ru_stime.tv_sec + (used.ru_utime.tv_usec + used.ru_stime.tv_usec) * 1e-6;
    fprintf(f, "%.4f %.4f\n", now.tv_sec + now.tv_nsec * 1e-9 - ProcessStart(), cpu);
    fclose(f);
}

void glXSwapBuffers(Display* display, GLXDrawable drawable) {
    static void (*real)(Display*, GLXDrawable);
    if (!real) real = (void (*)(Display*, GLXDrawable))dlsym(RTLD_NEXT, "glXSwapBuffers");
    real(display, drawable);
    NoteFirstFrame();
}

EGLBoolean eglSwapBuffers(EGLDisplay display, EGLSurface surface) {
    static EGLBoolean (*real)(EGLDisplay, EGLSurface);
    if (!real) real = (EGLBoolean(*)(EGLDisplay, EGLSurface))dlsym(RTLD_NEXT, "eglSwapBuffers");
    const EGLBoolean swapped = real(display, surface);
    NoteFirstFrame();
    return swapped;
}
