// Waits for a window whose title holds a given text and for text drawn in it, and prints the
// milliseconds from a given start to each: "shown drawn" ("-1" for what never came).
// Shown: the window is viewable. Drawn: the middle of the window (the text area of an editor,
// clear of menus, toolbars, line numbers and status bar) holds at least `min_ink` pixels that
// differ from its most common colour, the background; a blank or half-built window has almost
// none, a view full of text lines thousands.
//   usage: textdrawn TITLE START_NS [timeout_ms=30000] [min_ink=3000]
// START_NS is a CLOCK_REALTIME time in nanoseconds (`date +%s%N` just before the launch).
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static double ms_since(long long start_ns) {
    struct timespec t;
    clock_gettime(CLOCK_REALTIME, &t);
    return ((long long)t.tv_sec * 1000000000LL + t.tv_nsec - start_ns) / 1e6;
}

static int ignore_errors(Display* d, XErrorEvent* e) {
    (void)d;
    (void)e;
    return 0;
}

// Depth-first search for a viewable window whose name holds `title`.
static Window find_window(Display* d, Window w, const char* title) {
    char* name = NULL;
    if (XFetchName(d, w, &name) && name) {
        int match = strstr(name, title) != NULL;
        XFree(name);
        XWindowAttributes a;
        if (match && XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable)
            return w;
    }
    Window root, parent, *children = NULL;
    unsigned int n = 0;
    if (!XQueryTree(d, w, &root, &parent, &children, &n))
        return 0;
    Window found = 0;
    for (unsigned int i = 0; i < n && !found; ++i)
        found = find_window(d, children[i], title);
    if (children)
        XFree(children);
    return found;
}

// Pixels of the window's middle that differ from the most common colour there.
static long ink(Display* d, Window w) {
    XWindowAttributes a;
    if (!XGetWindowAttributes(d, w, &a) || a.width < 100 || a.height < 100)
        return 0;
    int x = a.width * 30 / 100, y = a.height * 25 / 100;
    int width = a.width * 60 / 100, height = a.height * 55 / 100;
    XImage* image = XGetImage(d, w, x, y, width, height, AllPlanes, ZPixmap);
    if (!image)
        return 0;
    // The background is the colour of most of the first column sampled on every row.
    unsigned long candidates[64];
    int counts[64], kinds = 0;
    for (int row = 0; row < height; row += 4) {
        unsigned long p = XGetPixel(image, 0, row);
        int k = 0;
        while (k < kinds && candidates[k] != p)
            ++k;
        if (k == kinds && kinds < 64) {
            candidates[kinds] = p;
            counts[kinds++] = 0;
        }
        if (k < kinds)
            ++counts[k];
    }
    unsigned long background = candidates[0];
    int best = -1;
    for (int k = 0; k < kinds; ++k)
        if (counts[k] > best) {
            best = counts[k];
            background = candidates[k];
        }
    long differing = 0;
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < width; ++column)
            if (XGetPixel(image, column, row) != background)
                ++differing;
    XDestroyImage(image);
    return differing;
}

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: textdrawn TITLE START_NS [timeout_ms] [min_ink]\n");
        return 2;
    }
    const char* title = argv[1];
    long long start = atoll(argv[2]);
    double timeout = argc > 3 ? atof(argv[3]) : 30000;
    long min_ink = argc > 4 ? atol(argv[4]) : 3000;
    Display* d = XOpenDisplay(NULL);
    if (!d) {
        fprintf(stderr, "no display\n");
        return 1;
    }
    XSetErrorHandler(ignore_errors);
    double shown = -1, drawn = -1;
    Window w = 0;
    while (ms_since(start) < timeout) {
        if (!w) {
            w = find_window(d, DefaultRootWindow(d), title);
            if (w)
                shown = ms_since(start);
        }
        if (w && ink(d, w) >= min_ink) {
            drawn = ms_since(start);
            break;
        }
        usleep(3000);
    }
    printf("%.0f %.0f\n", shown, drawn);
    return drawn < 0;
}
