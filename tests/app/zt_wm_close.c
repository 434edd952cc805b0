/* zt_wm_close WINDOW_ID: sends WM_DELETE_WINDOW to the window, as a window
 * manager does when its close button is clicked. Exit status 1 when the
 * display cannot be opened or the window does not take the protocol. */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: zt_wm_close WINDOW_ID\n");
        return 2;
    }
    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "zt_wm_close: cannot open the display\n");
        return 1;
    }
    Window window = (Window)strtoul(argv[1], NULL, 0);
    Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);

    Atom* supported = NULL;
    int count = 0, found = 0;
    if (XGetWMProtocols(display, window, &supported, &count)) {
        for (int i = 0; i < count; ++i)
            found |= supported[i] == deleteWindow;
        XFree(supported);
    }
    if (!found) {
        fprintf(stderr, "zt_wm_close: window 0x%lx does not take WM_DELETE_WINDOW\n", window);
        XCloseDisplay(display);
        return 1;
    }
    XEvent event = {0};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = protocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)deleteWindow;
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
    XCloseDisplay(display);
    return 0;
}
