/* Drops files onto an X11 window the way a Linux file manager does: acts as an
 * XDND source, offers the files as text/uri-list and waits until the target
 * says it has taken them. Under Wine this makes the program receive a real
 * WM_DROPFILES with Z:\ paths.
 *
 * usage: xdnd_drop <window id> <x> <y> <absolute path>...
 * x and y are inside the target window. Exit status 0 when the drop was
 * accepted and finished, 1 otherwise. */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { TIMEOUT_MS = 10000 };

static Display* display;
static Window source;
static Atom xdndAware, xdndEnter, xdndPosition, xdndStatus, xdndDrop, xdndFinished, xdndLeave;
static Atom xdndSelection, xdndActionCopy, uriList, targets;
static char* uris;

/* Appends one path as a file URI, percent-encoding every byte that is not
 * unreserved, so blanks and UTF-8 names arrive intact. */
static void appendUri(char* out, const char* path) {
    static const char hex[] = "0123456789ABCDEF";
    char* end = out + strlen(out);
    end += sprintf(end, "file://");
    for (const unsigned char* p = (const unsigned char*)path; *p; ++p) {
        if ((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z') || (*p >= '0' && *p <= '9') ||
            strchr("-._~/", *p)) {
            *end++ = (char)*p;
        } else {
            *end++ = '%';
            *end++ = hex[*p >> 4];
            *end++ = hex[*p & 15];
        }
    }
    strcpy(end, "\r\n");
}

static void sendClient(Window target, Atom type, long l1, long l2, long l3, long l4) {
    XEvent event;
    memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.display = display;
    event.xclient.window = target;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)source;
    event.xclient.data.l[1] = l1;
    event.xclient.data.l[2] = l2;
    event.xclient.data.l[3] = l3;
    event.xclient.data.l[4] = l4;
    XSendEvent(display, target, False, NoEventMask, &event);
    XFlush(display);
}

/* Hands the file list to whoever asks for the drag's selection. */
static void answerSelection(const XSelectionRequestEvent* request) {
    XEvent reply;
    memset(&reply, 0, sizeof reply);
    reply.xselection.type = SelectionNotify;
    reply.xselection.display = request->display;
    reply.xselection.requestor = request->requestor;
    reply.xselection.selection = request->selection;
    reply.xselection.target = request->target;
    reply.xselection.time = request->time;
    reply.xselection.property = None;
    Atom property = request->property != None ? request->property : request->target;
    if (request->target == uriList) {
        XChangeProperty(display, request->requestor, property, uriList, 8, PropModeReplace,
                        (const unsigned char*)uris, (int)strlen(uris));
        reply.xselection.property = property;
    } else if (request->target == targets) {
        Atom offered[2] = {targets, uriList};
        XChangeProperty(display, request->requestor, property, XA_ATOM, 32, PropModeReplace,
                        (const unsigned char*)offered, 2);
        reply.xselection.property = property;
    }
    XSendEvent(display, request->requestor, False, NoEventMask, &reply);
    XFlush(display);
}

/* Serves selection requests until a client message of `type` arrives; returns
 * it in `out`, or 0 when none came in time. */
static int waitForMessage(Atom type, XClientMessageEvent* out) {
    int waited = 0;
    while (waited < TIMEOUT_MS) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == SelectionRequest) answerSelection(&event.xselectionrequest);
            if (event.type == ClientMessage && event.xclient.message_type == type) {
                *out = event.xclient;
                return 1;
            }
        }
        struct pollfd wait = {ConnectionNumber(display), POLLIN, 0};
        poll(&wait, 1, 20);
        waited += 20;
    }
    return 0;
}

int main(int argc, char** argv) {
    if (argc < 5) {
        fprintf(stderr, "usage: xdnd_drop <window id> <x> <y> <absolute path>...\n");
        return 1;
    }
    display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "xdnd_drop: cannot open the display\n");
        return 1;
    }
    Window target = (Window)strtoul(argv[1], NULL, 0);
    int x = atoi(argv[2]), y = atoi(argv[3]);

    size_t room = 1;
    for (int i = 4; i < argc; ++i) room += strlen(argv[i]) * 3 + 16;
    uris = calloc(room, 1);
    for (int i = 4; i < argc; ++i) appendUri(uris, argv[i]);

    xdndAware = XInternAtom(display, "XdndAware", False);
    xdndEnter = XInternAtom(display, "XdndEnter", False);
    xdndPosition = XInternAtom(display, "XdndPosition", False);
    xdndStatus = XInternAtom(display, "XdndStatus", False);
    xdndDrop = XInternAtom(display, "XdndDrop", False);
    xdndFinished = XInternAtom(display, "XdndFinished", False);
    xdndLeave = XInternAtom(display, "XdndLeave", False);
    xdndSelection = XInternAtom(display, "XdndSelection", False);
    xdndActionCopy = XInternAtom(display, "XdndActionCopy", False);
    uriList = XInternAtom(display, "text/uri-list", False);
    targets = XInternAtom(display, "TARGETS", False);

    /* The protocol version is the lower of ours (5) and the target's. */
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* value = NULL;
    long version = 0;
    if (XGetWindowProperty(display, target, xdndAware, 0, 1, False, AnyPropertyType, &type, &format,
                           &count, &after, &value) == Success &&
        value && count == 1)
        version = *(long*)value;
    if (value) XFree(value);
    if (version < 3) {
        fprintf(stderr, "xdnd_drop: the window does not accept drops\n");
        return 1;
    }
    if (version > 5) version = 5;

    Window root = DefaultRootWindow(display), child;
    int rootX, rootY;
    XTranslateCoordinates(display, target, root, x, y, &rootX, &rootY, &child);
    source = XCreateSimpleWindow(display, root, 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(display, xdndSelection, source, CurrentTime);

    XClientMessageEvent reply;
    sendClient(target, xdndEnter, version << 24, (long)uriList, None, None);
    sendClient(target, xdndPosition, 0, (rootX << 16) | (rootY & 0xFFFF), CurrentTime,
               (long)xdndActionCopy);
    if (!waitForMessage(xdndStatus, &reply)) {
        fprintf(stderr, "xdnd_drop: no status from the target\n");
        return 1;
    }
    if (!(reply.data.l[1] & 1)) {
        sendClient(target, xdndLeave, 0, 0, 0, 0);
        fprintf(stderr, "xdnd_drop: the target refused the drop\n");
        return 1;
    }
    sendClient(target, xdndDrop, 0, CurrentTime, 0, 0);
    if (!waitForMessage(xdndFinished, &reply)) {
        fprintf(stderr, "xdnd_drop: the target did not finish the drop\n");
        return 1;
    }
    XDestroyWindow(display, source);
    XCloseDisplay(display);
    free(uris);
    return 0;
}
