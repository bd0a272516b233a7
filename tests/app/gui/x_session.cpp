#include "tests/app/gui/x_session.h"

#include <fcntl.h>
#include <iconv.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <sstream>
#include <thread>

#include "tests/support/work_dir.h"
#include "ui/qt/qt_host.h"

// Last: Xlib's macros (Bool, Status, None...) would break the Qt headers.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

extern char** environ;

namespace gui_test {

namespace fs = std::filesystem;

namespace {

std::string TitleOf(Display* d, Window w) {
    const Atom netName = XInternAtom(d, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(d, w, netName, 0, 1024, False, utf8, &type, &format, &count, &after, &data) == Success &&
        data) {
        title.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
    }
    return title;
}

// A window may go between listing it and asking about it: that is no error
// of the test (Xlib's own handler would end the program).
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

}  // namespace

XScreen::XScreen() {
    XSetErrorHandler(IgnoreXError);
    // Now and then a first connection is refused while other test groups
    // start X servers of their own; a second one goes through.
    WaitUntil([&] { return (display_ = XOpenDisplay(nullptr)) != nullptr; }, milliseconds(3000), milliseconds(50));
}

XScreen::~XScreen() {
    if (display_) XCloseDisplay(display_);
}

std::vector<XWindow> XScreen::Windows() const {
    std::vector<XWindow> windows;
    if (!display_) return windows;
    Window root = DefaultRootWindow(display_), parent = 0, *children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(display_, root, &root, &parent, &children, &n)) return windows;
    for (unsigned int i = 0; i < n; ++i) {
        XWindowAttributes a{};
        if (!XGetWindowAttributes(display_, children[i], &a) || a.map_state != IsViewable) continue;
        std::string title = TitleOf(display_, children[i]);
        if (title.empty()) continue;
        windows.push_back({children[i], std::move(title), QRect(a.x, a.y, a.width, a.height)});
    }
    if (children) XFree(children);
    return windows;
}

std::optional<XWindow> XScreen::Find(const std::string& title) const {
    for (const XWindow& w : Windows())
        if (w.title == title) return w;
    return std::nullopt;
}

unsigned long XScreen::Focus() const {
    Window focus = 0;
    int revert = 0;
    if (display_) XGetInputFocus(display_, &focus, &revert);
    return focus;
}

QImage XScreen::Grab(const QRect& area) const {
    if (!display_) return {};
    XImage* xi = XGetImage(display_, DefaultRootWindow(display_), area.x(), area.y(), area.width(), area.height(),
                           AllPlanes, ZPixmap);
    if (!xi) return {};
    QImage image(area.size(), QImage::Format_RGB32);
    for (int y = 0; y < area.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < area.width(); ++x) line[x] = static_cast<QRgb>(XGetPixel(xi, x, y)) | 0xFF000000u;
    }
    XDestroyImage(xi);
    return image;
}

QRgb XScreen::Pixel(QPoint at) const {
    const QImage one = Grab(QRect(at, QSize(1, 1)));
    return one.isNull() ? 0 : one.pixel(0, 0);
}

QImage XScreen::GrabScreen() const {
    if (!display_) return {};
    const Screen* s = DefaultScreenOfDisplay(display_);
    return Grab(QRect(0, 0, WidthOfScreen(s), HeightOfScreen(s)));
}

bool XScreen::SaveScreen(const fs::path& png) const {
    const QImage image = GrabScreen();
    return !image.isNull() && image.save(QString::fromStdString(png.string()), "PNG");
}

unsigned long XScreen::Cover(const QRect& area, QRgb colour) {
    XSetWindowAttributes a{};
    a.override_redirect = True;
    a.background_pixel = colour & 0xFFFFFFu;
    const Window w = XCreateWindow(display_, DefaultRootWindow(display_), area.x(), area.y(), area.width(),
                                   area.height(), 0, CopyFromParent, InputOutput, CopyFromParent,
                                   CWOverrideRedirect | CWBackPixel, &a);
    XMapRaised(display_, w);
    XSync(display_, False);
    return w;
}

void XScreen::Uncover(unsigned long window) {
    XDestroyWindow(display_, window);
    XSync(display_, False);
}

void XScreen::RequestClose(unsigned long window) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, window, False, NoEventMask, &e);
    XSync(display_, False);
}

// --- the station process ------------------------------------------------------

StationProcess::StationProcess(const fs::path& program, const fs::path& workDir) : log_(workDir / "station.log") {
    pid_ = ::fork();
    if (pid_ == 0) {
        if (::chdir(workDir.c_str()) != 0) ::_exit(126);
        const int out = ::open(log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out >= 0) {
            ::dup2(out, 1);
            ::dup2(out, 2);
        }
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
}

StationProcess::~StationProcess() { Kill(); }

bool StationProcess::Running() {
    if (pid_ <= 0 || status_) return false;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return false;
    }
    return true;
}

std::optional<int> StationProcess::WaitExit(milliseconds timeout) {
    WaitUntil([this] { return !Running(); }, timeout);
    return status_;
}

void StationProcess::Kill() {
    if (!Running()) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    status_ = 128 + SIGKILL;
}

std::string StationProcess::Output() const { return test_support::ReadFile(log_); }

// --- hands and eyes -------------------------------------------------------------

bool XdoTool(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    std::string name = "xdotool";
    argv.push_back(name.data());
    std::vector<std::string> copy = args;
    for (std::string& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawnp(&pid, "xdotool", nullptr, nullptr, argv.data(), environ) != 0) return false;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool WaitUntil(const std::function<bool()>& done, milliseconds timeout, milliseconds poll) {
    const auto deadline = Clock::now() + timeout;
    while (!done()) {
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(poll);
    }
    return true;
}

QPoint ControlCentre(const XWindow& window, const ui::DialogTemplate& t, int id) {
    for (const ui::ControlTemplate& c : t.controls)
        if (c.id == id) {
            using ui::qt::QtHost;
            return window.rect.topLeft() + QPoint(QtHost::PixelsX(c.rect.x) + QtHost::PixelsX(c.rect.width) / 2,
                                                  QtHost::PixelsY(c.rect.y) + QtHost::PixelsY(c.rect.height) / 2);
        }
    return window.rect.center();
}

void Click(QPoint at) {
    XdoTool({"mousemove", "--sync", std::to_string(at.x()), std::to_string(at.y()), "click", "1"});
}

void Click(const XWindow& window, const ui::DialogTemplate& t, int id) { Click(ControlCentre(window, t, id)); }

void Key(const std::string& keys) { XdoTool({"key", keys}); }

void Type(const std::string& text) { XdoTool({"type", "--delay", "10", text}); }

void Retype(const XWindow& window, const ui::DialogTemplate& t, int id, const std::string& text) {
    Click(window, t, id);
    Key("ctrl+a");
    Type(text);
}

std::string FromShiftJis(const std::string& bytes) {
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};
    std::string out(bytes.size() * 3 + 1, '\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size(), outLeft = out.size();
    char* o = out.data();
    const bool ok = iconv(cd, &in, &inLeft, &o, &outLeft) != static_cast<std::size_t>(-1);
    iconv_close(cd);
    if (!ok) return {};
    out.resize(out.size() - outLeft);
    return out;
}

std::string DateLine() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::ostringstream s;
    s << local.tm_year + 1900 << "年" << local.tm_mon + 1 << "月" << local.tm_mday << "日\r\n";
    return s.str();
}

fs::path ArtefactsDir() {
    const fs::path dir = test_support::BinDir().parent_path() / "artefacts";
    fs::create_directories(dir);
    return dir;
}

}  // namespace gui_test
