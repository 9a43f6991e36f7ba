// Starts a program on the X display and measures the time until its first window is on the
// screen with something painted in it: the window mapped, and its pixels no longer all one
// colour. Prints the wall-clock time and the CPU time of the program (all its threads) up to
// that moment, in milliseconds, and its peak memory (resident set) in MiB, then ends the
// program. With --middle only the middle of the window counts (the middle half across, the
// middle fifth down): a window whose frame is drawn before its client area (Wine's) is
// painted when its controls are. With --also PID the CPU time that process spends meanwhile
// (Wine's server) is added.
//   first_paint [--middle] [--also PID] PROGRAM [ARGUMENTS...]
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
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

// Peak resident memory of the process in MiB.
double peak_mib(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stod(line.substr(6)) / 1024;
        }
    }
    return 0;
}

// CPU time of one process (all threads) from its stat line, in milliseconds.
double process_cpu_ms(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close == std::string::npos) {
        return 0;
    }
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14 || i == 15) {  // utime, stime
            ticks += std::stod(field);
        }
    }
    return ticks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

bool middle_only = false;

// Whether the window shows more than one colour.
bool painted(Display* display, Window window) {
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, window, &attributes) == 0 ||
        attributes.map_state != IsViewable) {
        return false;
    }
    const int x0 = middle_only ? attributes.width / 4 : 0;
    const int x1 = middle_only ? attributes.width * 3 / 4 : attributes.width;
    const int y0 = middle_only ? attributes.height * 2 / 5 : 0;
    const int y1 = middle_only ? attributes.height * 3 / 5 : attributes.height;
    if (x1 <= x0 || y1 <= y0) {
        return false;
    }
    XImage* image = XGetImage(display, window, x0, y0, static_cast<unsigned>(x1 - x0),
                              static_cast<unsigned>(y1 - y0), AllPlanes, ZPixmap);
    if (image == nullptr) {
        return false;
    }
    std::set<unsigned long> colours;
    for (int y = 0; y < y1 - y0 && colours.size() < 2; y += 2) {
        for (int x = 0; x < x1 - x0 && colours.size() < 2; x += 2) {
            colours.insert(XGetPixel(image, x, y));
        }
    }
    XDestroyImage(image);
    return colours.size() > 1;
}

}  // namespace

int main(int argc, char** argv) {
    pid_t also = 0;
    int first = 1;
    for (; first < argc && argv[first][0] == '-'; ++first) {
        const std::string option = argv[first];
        if (option == "--middle") {
            middle_only = true;
        } else if (option == "--also" && first + 1 < argc) {
            also = static_cast<pid_t>(std::stol(argv[++first]));
        } else {
            break;
        }
    }
    if (first >= argc) {
        std::fprintf(stderr, "usage: first_paint [--middle] [--also PID] PROGRAM [ARGUMENTS...]\n");
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
    const double also_before = also != 0 ? process_cpu_ms(also) : 0;
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[first], argv + first);
        _exit(127);
    }
    std::set<Window> mapped;
    double wall = -1, cpu = -1, peak = 0;
    while (wall < 0 && std::chrono::steady_clock::now() - start < std::chrono::seconds(60)) {
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
                cpu = cpu_ms(child) + (also != 0 ? process_cpu_ms(also) - also_before : 0);
                peak = peak_mib(child);
                break;
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    XCloseDisplay(display);
    if (wall < 0) {
        std::fprintf(stderr, "first_paint: no window painted within 60 s\n");
        return 1;
    }
    std::printf("%.1f %.1f %.1f\n", wall, cpu, peak);
    return 0;
}
