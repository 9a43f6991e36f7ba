// Starts a program on the X display and measures the time until its first window is on the
// screen with something painted in it: the window mapped, and its pixels no longer all one
// colour. Prints the wall-clock time and the CPU time of the program (all its threads) up to
// that moment, in milliseconds, then ends the program.
//   first_paint PROGRAM [ARGUMENTS...]
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

namespace {

// CPU time of every thread of the process, in milliseconds.
double cpu_ms(pid_t pid) {
    double ns = 0;
    for (const auto& task :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task")) {
        std::ifstream schedstat(task.path() / "schedstat");
        double on_cpu = 0;
        schedstat >> on_cpu;
        ns += on_cpu;
    }
    return ns / 1e6;
}

// Whether the window shows more than one colour.
bool painted(Display* display, Window window) {
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, window, &attributes) == 0 ||
        attributes.map_state != IsViewable) {
        return false;
    }
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (image == nullptr) {
        return false;
    }
    std::set<unsigned long> colours;
    for (int y = 0; y < attributes.height && colours.size() < 2; y += 2) {
        for (int x = 0; x < attributes.width && colours.size() < 2; x += 2) {
            colours.insert(XGetPixel(image, x, y));
        }
    }
    XDestroyImage(image);
    return colours.size() > 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: first_paint PROGRAM [ARGUMENTS...]\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "first_paint: no X display\n");
        return 2;
    }
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    std::set<Window> mapped;
    double wall = -1, cpu = -1;
    while (wall < 0 && std::chrono::steady_clock::now() - start < std::chrono::seconds(20)) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && event.xmap.event == root) {
                mapped.insert(event.xmap.window);
            }
        }
        for (const Window window : mapped) {
            if (painted(display, window)) {
                wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() -
                                                                 start)
                           .count();
                cpu = cpu_ms(child);
                break;
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    XCloseDisplay(display);
    if (wall < 0) {
        std::fprintf(stderr, "first_paint: no window painted within 20 s\n");
        return 1;
    }
    std::printf("%.1f %.1f\n", wall, cpu);
    return 0;
}
