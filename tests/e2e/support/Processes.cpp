#include "e2e/support/Processes.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace kest::e2e {

bool waitUntil(const std::function<bool()>& cond, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!cond()) {
        if (std::chrono::steady_clock::now() >= deadline) return cond();
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

bool waitForGrowth(const std::function<std::size_t()>& size, std::size_t count,
                   std::chrono::milliseconds quiet) {
    for (std::size_t seen = size(); seen < count; seen = size()) {
        if (!waitUntil([&] { return size() != seen; }, quiet)) return false;
    }
    return true;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string commandOutput(const std::string& command, int* status) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
        const int ended = ::pclose(pipe);
        if (status) *status = ended;
    } else if (status) {
        *status = -1;
    }
    return out;
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kest-e2e-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary directory");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::map<std::string, std::string>& env,
                           const std::string& outputPath, bool bothStreams) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        setpgid(0, 0);
        // A test program killed at its timeout runs no destructors: the child goes too.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        for (const auto& [k, v] : env) setenv(k.c_str(), v.c_str(), 1);
        const int out = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (out >= 0) dup2(out, STDOUT_FILENO);
        if (out >= 0 && bothStreams) dup2(out, STDERR_FILENO);
        execvp(args[0], args.data());
        std::perror(args[0]);
        _exit(127);
    }
    setpgid(pid_, pid_);
}

ChildProcess::~ChildProcess() {
    if (reaped_) return;
    kill(-pid_, SIGTERM);
    if (wait(3s) == -1) {
        kill(-pid_, SIGKILL);
        wait(3s);
    }
}

bool ChildProcess::running() {
    int status = 0;
    if (!reaped_ && waitpid(pid_, &status, WNOHANG) == pid_) reaped_ = true;
    return !reaped_;
}

void ChildProcess::signal(int sig) {
    if (!reaped_) kill(pid_, sig);
}

int ChildProcess::wait(std::chrono::milliseconds timeout) {
    int status = -1;
    const bool ended = waitUntil(
        [&] {
            if (reaped_) return true;
            if (waitpid(pid_, &status, WNOHANG) == pid_) reaped_ = true;
            return reaped_;
        },
        timeout);
    if (reaped_) kill(-pid_, SIGKILL);  // what the child left behind in its group
    return ended ? status : -1;
}

SerialDevice::SerialDevice(const std::string& base, int comNumber)
    : portLink_(base + "/dosdevices/com" + std::to_string(comNumber)) {
    const std::string deviceLink = dir_.path() + "/device";
    std::filesystem::create_directories(base + "/dosdevices");
    std::filesystem::remove(portLink_);
    socat_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"socat", "pty,raw,echo=0,link=" + portLink_,
                                 "pty,raw,echo=0,link=" + deviceLink},
        std::map<std::string, std::string>{});
    if (!waitUntil([&] {
            return std::filesystem::exists(portLink_) && std::filesystem::exists(deviceLink);
        }))
        throw std::runtime_error("socat did not make the pseudo-terminals");
    // Held open from the start, so that nothing the program sends back is lost
    // before the test reads it.
    fd_ = ::open(deviceLink.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) throw std::runtime_error("cannot open the device end " + deviceLink);
}

SerialDevice::~SerialDevice() {
    ::close(fd_);
    socat_.reset();
    std::error_code ignored;
    std::filesystem::remove(portLink_, ignored);
}

void SerialDevice::send(const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (errno == EAGAIN)
            std::this_thread::sleep_for(1ms);  // the pseudo-terminal is full: wait for room
        else
            throw std::runtime_error("cannot write to the serial device");
    }
}

std::string SerialDevice::receive(std::size_t count, std::chrono::milliseconds timeout) {
    std::string got;
    waitUntil(
        [&] {
            char buffer[256];
            ssize_t n = 0;
            while ((n = ::read(fd_, buffer, sizeof buffer)) > 0) got.append(buffer, size_t(n));
            return got.size() >= count;
        },
        timeout);
    return got;
}

}  // namespace kest::e2e
