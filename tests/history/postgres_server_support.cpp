#include "tests/history/postgres_server.h"

#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>
#include <memory>
#include <string>

namespace test_support {
namespace {

namespace fs = std::filesystem;

std::string PostgresBin() {
    std::string best;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator("/usr/lib/postgresql", ec))
        if (fs::exists(e.path() / "bin" / "initdb") && e.path().string() > best) best = e.path().string();
    return best.empty() ? best : best + "/bin/";
}

int FreePort() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    close(s);
    return port;
}

class Server {
public:
    Server() {
        const std::string bin = PostgresBin();
        if (bin.empty()) {
            why_ = "PostgreSQL's server programs are not installed (Debian package postgresql)";
            return;
        }
        dir_ = fs::temp_directory_path() / ("imageadjust_pg_" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        std::string as;  // the server refuses root
        if (geteuid() == 0) {
            const passwd* pg = getpwnam("postgres");
            if (!pg) {
                why_ = "running as root and there is no postgres user to run the server";
                return;
            }
            if (chown(dir_.c_str(), pg->pw_uid, pg->pw_gid) != 0) {
                why_ = "cannot hand the cluster folder to the postgres user";
                return;
            }
            as = "runuser -u postgres -- ";
        }
        port_ = FreePort();
        const std::string data = (dir_ / "data").string();
        const std::string log = (dir_ / "server.log").string();
        if (std::system((as + bin + "initdb -D " + data + " -A trust -U station --no-sync -E UTF8 >" + (dir_ / "initdb.log").string() +
                         " 2>&1")
                            .c_str()) != 0) {
            why_ = "initdb failed (see " + (dir_ / "initdb.log").string() + ")";
            return;
        }
        const std::string options = "-c listen_addresses=127.0.0.1 -c fsync=off -p " + std::to_string(port_) +
                                    " -k " + dir_.string();
        if (std::system((as + bin + "pg_ctl -D " + data + " -l " + log + " -w -o '" + options + "' start >/dev/null")
                            .c_str()) != 0) {
            why_ = "the server did not start (see " + log + ")";
            return;
        }
        start_ = as + bin + "pg_ctl -D " + data + " -l " + log + " -w -o '" + options + "' start >/dev/null";
        data_ = data;
        stop_ = as + bin + "pg_ctl -D " + data + " -m immediate stop >/dev/null 2>&1";
        createdb_ = as + bin + "createdb -h 127.0.0.1 -p " + std::to_string(port_) + " -U station ";
    }
    ~Server() {
        if (!stop_.empty()) [[maybe_unused]] int ignored = std::system(stop_.c_str());
        std::error_code ec;
        if (!dir_.empty()) fs::remove_all(dir_, ec);
    }

    bool Control(const std::string& what) {
        if (!why_.empty()) return false;
        if (what == "stop") return std::system(stop_.c_str()) == 0;
        if (what == "start") return std::system(start_.c_str()) == 0;
        const int sig = what == "hang" ? SIGSTOP : SIGCONT;
        std::ifstream pidFile(data_ + "/postmaster.pid");
        pid_t postmaster = 0;
        if (!(pidFile >> postmaster) || postmaster <= 0) return false;
        // The server and every process it started (each connection has one).
        std::vector<pid_t> pids{postmaster};
        for (const auto& e : fs::directory_iterator("/proc")) {
            std::ifstream stat(e.path() / "stat");
            std::string pid, comm, state;
            pid_t parent = 0;
            if (stat >> pid >> comm >> state >> parent && parent == postmaster) pids.push_back(std::stoi(pid));
        }
        for (pid_t p : pids) kill(p, sig);
        for (std::size_t i = 0; i < stopped_.size(); ++i) stopped_[i] = i < pids.size() ? pids[i] : 0;
        return true;
    }

    // For a test that ends on a signal: the server goes on, and goes, with it.
    static void Release(int) {
        for (pid_t p : stopped_)
            if (p > 0) kill(p, SIGCONT);
        if (stopped_[0] > 0) kill(stopped_[0], SIGQUIT);
        static const char kSaid[] = "the test ran out of time: the server is stopped\n";
        [[maybe_unused]] ssize_t n = write(2, kSaid, sizeof kSaid - 1);
        _exit(1);
    }

    std::string Fresh(std::string* why) {
        if (!why_.empty()) {
            *why = why_;
            return {};
        }
        const std::string name = "history" + std::to_string(++databases_);
        if (std::system((createdb_ + name).c_str()) != 0) {
            *why = "createdb failed";
            return {};
        }
        return "host=127.0.0.1 port=" + std::to_string(port_) + " user=station dbname=" + name;
    }

private:
    fs::path dir_;
    int port_ = 0;
    int databases_ = 0;
    std::string why_, stop_, start_, data_, createdb_;
    static inline std::array<volatile pid_t, 64> stopped_{};  // the server's processes, the server first
};

Server& TheServer() {
    static Server server;
    return server;
}

}  // namespace

std::string FreshPostgresDatabase(std::string* why) { return TheServer().Fresh(why); }

bool ControlPostgres(const std::string& what) { return TheServer().Control(what); }

void FailAfter(unsigned seconds) {
    TheServer().Control("resume");  // the processes, noted
    std::signal(SIGALRM, &Server::Release);
    alarm(seconds);
}

}  // namespace test_support
